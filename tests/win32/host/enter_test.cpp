// The two Enter libraries under Wine, on the test prefix's CD-ROM drives.
#include <cstring>

#include "stand_ins.h"
#include "test_drives.h"
#include "test_support.h"
#include "runtime_stream.h"

namespace wtk::win32test {

namespace {

std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

// The drives are what the tests below assume; a wrong prefix fails here first.
TEST(TestDrivesTest, AreCdRomDrivesWithTheirLabels) {
    for (const TestDrive& drive : TestDrives()) {
        SCOPED_TRACE(drive.letter);
        const std::string root = Root(drive.letter);
        EXPECT_EQ(GetDriveTypeA(root.c_str()), static_cast<UINT>(DRIVE_CDROM));
        char label[261] = {};
        const BOOL ok = GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
        if (drive.hasDisc) {
            ASSERT_TRUE(ok) << GetLastError();
            EXPECT_EQ(std::string(label), drive.label);
            const std::string page = root + "index.htm";
            EXPECT_EQ(GetFileAttributesA(page.c_str()) != INVALID_FILE_ATTRIBUTES, drive.hasContentsPage);
        } else {
            const std::string anything = root + "*";
            WIN32_FIND_DATAA found{};
            EXPECT_EQ(FindFirstFileA(anything.c_str(), &found), INVALID_HANDLE_VALUE);
        }
    }
}

class EnterLibraryTest : public testing::TestWithParam<LibraryFacts> {
protected:
    void SetUp() override { ResetLog(); }
};

// Every disc access of the call ran with the critical-error prompt off, and the process's error
// mode is what it was before the call.
void ExpectQuietDiscAccess(UINT modeBefore) {
    EXPECT_FALSE(Log().discAccess.empty());
    for (const RecordedDiscAccess& access : Log().discAccess) {
        EXPECT_TRUE(access.criticalErrorsOff) << access.function << " " << access.path;
    }
    EXPECT_EQ(GetErrorMode(), modeBefore);
}

TEST_P(EnterLibraryTest, RecognisesExactlyTheLabelEnter) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    for (const TestDrive& drive : TestDrives()) {
        SCOPED_TRACE(std::string("drive ") + drive.letter + " label \"" + drive.label + "\"");
        ResetLog();
        SetErrorMode(SEM_NOOPENFILEERRORBOX);
        const CallOutcome initialize = library->InitializePlugin(drive.letter);
        const CallOutcome answer = library->CanYouRegister();
        EXPECT_TRUE(initialize.balanced());
        EXPECT_TRUE(answer.balanced()) << "stack delta " << answer.stackDelta;
        EXPECT_EQ(answer.al(), drive.label == "enter" ? raDiscOnly : raNotMine);
        EXPECT_TRUE(Log().boxes.empty());
        ASSERT_EQ(Log().discAccess.size(), 1u);
        EXPECT_EQ(Log().discAccess[0].function, "GetVolumeInformationA");
        EXPECT_EQ(Log().discAccess[0].path, Root(drive.letter));
        ExpectQuietDiscAccess(SEM_NOOPENFILEERRORBOX);
    }
    SetErrorMode(0);
}

struct RegistrationCase {
    const char* name;
    char drive;
    int answer;  // the button the question gets
    bool asks;
    bool opens;
};

TEST_P(EnterLibraryTest, RegistersTheDiscAndOffersTheContentsPage) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const RegistrationCase cases[] = {
        {"page, answered Yes", 'E', IDYES, true, true},
        {"page, answered No", 'E', IDNO, true, false},
        {"page on a disc that is not an Enter disc, Yes", 'G', IDYES, true, true},
        {"no page", 'F', IDYES, false, false},
        {"no disc", 'N', IDYES, false, false},
    };
    const HWND owner = facts.boxesOwnedByActiveWindow ? FakeActiveWindow() : nullptr;
    for (const RegistrationCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLog(c.answer);
        SetErrorMode(0);
        library->InitializePlugin(c.drive);

        TDiscRecord record{};
        record.DiscId = 0xFFFF;
        record.Issue = 9;
        record.Year = 2004;
        record.Label[0] = 5;
        std::memcpy(record.Label + 1, "enterXXXXXXXXX", 14);
        const uint8_t hostData[4] = {0xDE, 0xAD, 0xBE, 0xEF};
        std::memcpy(record.HostData, hostData, 4);
        record.NameLength = 0x77;
        RuntimeStream disc;
        RuntimeStream entries;

        const CallOutcome outcome = library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);

        EXPECT_TRUE(outcome.balanced()) << "stack delta " << outcome.stackDelta;
        EXPECT_EQ(outcome.al(), rrNoEntries);
        std::string expected(reinterpret_cast<const char*>(&record), 24);
        expected += '\x05';
        expected += "Enter";
        EXPECT_EQ(disc.bytes(), expected) << Escaped(disc.bytes());
        EXPECT_EQ(entries.bytes(), "");
        EXPECT_EQ(Log().progress, std::vector<int32_t>{0});

        if (c.asks) {
            ASSERT_EQ(Log().boxes.size(), 1u);
            EXPECT_EQ(Log().boxes[0].text, kEnterQuestion) << Escaped(Log().boxes[0].text);
            EXPECT_EQ(Log().boxes[0].caption, std::optional<std::string>(kEnterQuestionCaption));
            EXPECT_EQ(Log().boxes[0].flags, static_cast<UINT>(MB_YESNO));
            EXPECT_EQ(Log().boxes[0].owner, owner);
        } else {
            EXPECT_TRUE(Log().boxes.empty());
        }
        if (c.opens) {
            ASSERT_EQ(Log().opened.size(), 1u);
            const RecordedOpen& open = Log().opened[0];
            EXPECT_EQ(open.owner, GetDesktopWindow());
            EXPECT_EQ(open.verb, std::optional<std::string>("open"));
            EXPECT_EQ(open.file, std::optional<std::string>(std::string(1, c.drive) + ":\\index.htm"));
            EXPECT_EQ(open.parameters, std::nullopt);
            EXPECT_EQ(open.directory, std::nullopt);
            EXPECT_EQ(open.show, 5);
        } else {
            EXPECT_TRUE(Log().opened.empty());
        }
        ExpectQuietDiscAccess(0);
    }
}

// The disc record goes out in two writes, the 25 record bytes and the name; a write that falls
// short or raises ends the call with the box, and the stream keeps exactly what went before.
TEST_P(EnterLibraryTest, AWriteThatFailsOrRaisesKeepsWhatWasWrittenBefore) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    struct WriteFailure {
        int write;
        RuntimeStream::Failure failure;
        std::size_t kept;
    };
    using F = RuntimeStream::Failure;
    const WriteFailure failures[] = {
        {1, F::ShortWrite, 0}, {2, F::ShortWrite, 25}, {1, F::RaiseInWrite, 0}, {2, F::RaiseInWrite, 25}};
    for (const WriteFailure& failure : failures) {
        SCOPED_TRACE("write " + std::to_string(failure.write) +
                     (failure.failure == F::ShortWrite ? " falls short" : " raises"));
        ResetLog(IDNO);
        library->InitializePlugin('N');
        RuntimeStream disc;
        RuntimeStream entries;
        disc.FailAt(failure.write, failure.failure);
        TDiscRecord record{};
        record.DiscId = 5;
        const int unhandledBefore = UnhandledExceptionsSeen();
        const CallOutcome outcome = library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
        EXPECT_FALSE(outcome.escaped);
        EXPECT_TRUE(outcome.balanced()) << "stack delta " << outcome.stackDelta;
        EXPECT_EQ(UnhandledExceptionsSeen(), unhandledBefore);
        EXPECT_EQ(outcome.al(), rrFailed);
        EXPECT_EQ(disc.bytes().size(), failure.kept);
        EXPECT_EQ(disc.hostFramesUnwound(), failure.failure == F::RaiseInWrite ? 1 : 0);
        EXPECT_EQ(disc.Misuse(), std::vector<std::string>{});
        ASSERT_EQ(Log().boxes.size(), 1u);
        EXPECT_EQ(Log().boxes[0].text, kEnterRegistrationFailure) << Escaped(Log().boxes[0].text);
    }
}

TEST_P(EnterLibraryTest, AppendsToStreamsThatAlreadyHoldData) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    library->InitializePlugin('F');
    RuntimeStream disc;
    RuntimeStream entries;
    const std::string earlier(100, '\x11');
    disc.Preload(earlier);
    entries.Preload("x");
    TDiscRecord record{};
    record.DiscId = 3;

    for (int call = 1; call <= 2; ++call) {
        const CallOutcome outcome = library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
        EXPECT_EQ(outcome.al(), rrNoEntries);
        EXPECT_TRUE(outcome.balanced());
    }
    ASSERT_EQ(disc.bytes().size(), 160u);
    EXPECT_EQ(disc.bytes().substr(0, 100), earlier);
    EXPECT_EQ(disc.bytes().substr(100, 30), disc.bytes().substr(130, 30));
    EXPECT_EQ(disc.bytes().substr(125, 5), "Enter");
    EXPECT_EQ(entries.bytes(), "x");
    EXPECT_EQ(Log().progress, (std::vector<int32_t>{0, 0}));
}

std::vector<LibraryFacts> EnterLibraries() { return {Facts("enter"), Facts("plavik")}; }

INSTANTIATE_TEST_SUITE_P(Enter, EnterLibraryTest, testing::ValuesIn(EnterLibraries()), LibraryName());

}  // namespace

}  // namespace wtk::win32test
