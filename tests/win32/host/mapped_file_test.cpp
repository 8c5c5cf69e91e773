// A library reads a large file through a view of it. A read of the view that fails, as a bad
// sector of a disc fails, must not end the host: the registration fails with its box instead.
#include <string>

#include "runtime_stream.h"
#include "stand_ins.h"
#include "test_support.h"

namespace wtk::win32test {
namespace {

// The pages a stand-in made inaccessible fault as a failed read of a mapped file does: the access
// violation becomes an in-page error before any frame's handler sees it.
LONG WINAPI AsInPageError(EXCEPTION_POINTERS* exception) {
    EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const auto* address = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    for (const StandInLog::View& view : Log().views) {
        if (view.unreadableFrom != nullptr && address >= view.unreadableFrom && address < view.base + view.size) {
            record.ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

class InPageErrorsAsFailedReads {
public:
    InPageErrorsAsFailedReads() : handler_(AddVectoredExceptionHandler(1, &AsInPageError)) {}
    InPageErrorsAsFailedReads(const InPageErrorsAsFailedReads&) = delete;
    InPageErrorsAsFailedReads& operator=(const InPageErrorsAsFailedReads&) = delete;
    ~InPageErrorsAsFailedReads() { RemoveVectoredExceptionHandler(handler_); }

private:
    void* handler_;
};

TEST(MappedFileTest, AFailedReadOfTheViewFailsTheRegistrationWithOneBox) {
    WTK_LOAD_OR_SKIP(library, "chip");
    const LargeIndexDisc disc;
    const InPageErrorsAsFailedReads faults;
    struct Case {
        bool unreadable;
        uint8_t result;
        std::size_t boxes;
    };
    for (const Case& c : {Case{false, rrDone, 0}, Case{true, rrFailed, 1}}) {
        SCOPED_TRACE(c.unreadable ? "half the view unreadable" : "all of the view readable");
        ResetLog();
        Log().unreadableViewTails = c.unreadable;
        library->InitializePlugin('C');
        RuntimeStream discs;
        RuntimeStream entries;
        const int unhandledBefore = UnhandledExceptionsSeen();
        const CallOutcome outcome = library->RegisterCD(discs.variable(), entries.variable(), TDiscRecord{}, &ProgressCallback);
        EXPECT_FALSE(outcome.escaped);
        EXPECT_TRUE(outcome.balanced());
        EXPECT_EQ(UnhandledExceptionsSeen(), unhandledBefore);
        ASSERT_EQ(Log().views.size(), 1u) << "the index was not mapped";
        EXPECT_EQ(outcome.al(), c.result);
        EXPECT_EQ(Log().boxes.size(), c.boxes);
        if (!c.unreadable) {
            EXPECT_FALSE(entries.bytes().empty()) << "no program read from the view";
        }
    }
}

}  // namespace
}  // namespace wtk::win32test
