// A library reads a large file through a view of it (through ReadFile on Windows 98). A read that
// fails, as a bad sector of a disc fails, must not end the host: the registration fails with its
// box instead.
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

// Whether nothing is mapped at the address any more.
bool Unmapped(const char* base) {
    MEMORY_BASIC_INFORMATION region{};
    return VirtualQuery(base, &region, sizeof region) != 0 && region.State == MEM_FREE;
}

// A read that fails, in a view or through ReadFile, ends the registration with the library's one
// box and result 2, on the NT family and on Windows 98, whether or not addresses of a view could be
// given new memory (which Windows 98 cannot), and with RtlUnwind returning as on NT or as on Wine.
// Every view is unmapped afterwards, also where the failed read left the library's frames behind.
TEST(MappedFileTest, AFailedReadFailsTheRegistrationWithOneBox) {
    WTK_LOAD_OR_SKIP(library, "chip");
    const LargeIndexDisc disc;
    const InPageErrorsAsFailedReads faults;
    struct Case {
        const char* what;
        bool unreadable;          // half of each view unreadable from the start
        int unreadableAtProgress;  // ... or from this progress call on
        bool noMemoryAtGivenAddresses;
        bool windows98;
        bool largeReadsFail;
        bool ntStyleUnwind;
        uint8_t result;
        std::size_t views;
    };
    const Case cases[] = {
        {"all of the view readable", false, 0, false, false, false, false, rrDone, 1},
        {"half the view unreadable", true, 0, false, false, false, false, rrFailed, 1},
        {"half the view unreadable, NT's unwind", true, 0, false, false, false, true, rrFailed, 1},
        {"half the view unreadable, no memory at given addresses", true, 0, true, false, false, false, rrFailed, 1},
        {"view unreadable while being read", false, 3, false, false, false, false, rrFailed, 1},
        {"view unreadable while being read, NT's unwind", false, 3, true, false, false, true, rrFailed, 1},
        {"Windows 98, file readable", false, 0, true, true, false, false, rrDone, 0},
        {"Windows 98, bad sector", true, 0, true, true, true, false, rrFailed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetLog();
        Log().unreadableViewTails = c.unreadable;
        Log().unreadableViewTailsAtProgress = c.unreadableAtProgress;
        Log().noMemoryAtGivenAddresses = c.noMemoryAtGivenAddresses;
        Log().windows98 = c.windows98;
        Log().largeReadsFail = c.largeReadsFail;
        Log().ntStyleUnwind = c.ntStyleUnwind;
        library->InitializePlugin('C');
        RuntimeStream discs;
        RuntimeStream entries;
        const int unhandledBefore = UnhandledExceptionsSeen();
        const CallOutcome outcome = library->RegisterCD(discs.variable(), entries.variable(), TDiscRecord{}, &ProgressCallback);
        EXPECT_FALSE(outcome.escaped);
        EXPECT_TRUE(outcome.balanced());
        EXPECT_EQ(UnhandledExceptionsSeen(), unhandledBefore);
        ASSERT_EQ(Log().views.size(), c.views) << "the index was mapped, or not, otherwise than expected";
        EXPECT_EQ(outcome.al(), c.result);
        EXPECT_EQ(Log().boxes.size(), c.result == rrFailed ? 1u : 0u);
        // A failed read of a view is taken by a guard, which unwinds once; ReadFile just fails.
        EXPECT_EQ(Log().unwindCalls, c.result == rrFailed && c.views == 1 ? 1 : 0);
        for (const StandInLog::View& view : Log().views) {
            EXPECT_TRUE(Unmapped(view.base)) << "a view was left mapped";
        }
        if (c.result == rrDone) {
            EXPECT_FALSE(entries.bytes().empty()) << "no program read";
        }
    }
}

}  // namespace
}  // namespace wtk::win32test
