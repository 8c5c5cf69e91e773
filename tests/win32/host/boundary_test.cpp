// The export and import tables of every library, and each export called as the 32-bit host calls it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "import_table.h"
#include "stand_ins.h"
#include "test_support.h"
#include "runtime_stream.h"

namespace wtk::win32test {

namespace {



class BoundaryTest : public testing::TestWithParam<LibraryFacts> {
protected:
    void SetUp() override { ResetLog(); }
};

struct ExportDirectory {
    DWORD base = 0;
    DWORD functions = 0;
    DWORD names = 0;
};

ExportDirectory ReadExportDirectory(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    return {directory->Base, directory->NumberOfFunctions, directory->NumberOfNames};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST_P(BoundaryTest, ExportsExactlyTheContractNamesAtTheirOrdinals) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);

    const ExportDirectory directory = ReadExportDirectory(library->module());
    EXPECT_EQ(directory.base, 1u);
    EXPECT_EQ(directory.functions, facts.exportsByOrdinal.size());
    EXPECT_EQ(directory.names, facts.exportsByOrdinal.size());
    for (std::size_t i = 0; i < facts.exportsByOrdinal.size(); ++i) {
        const std::string& name = facts.exportsByOrdinal[i];
        const FARPROC byName = GetProcAddress(library->module(), name.c_str());
        const FARPROC byOrdinal = GetProcAddress(library->module(), MAKEINTRESOURCEA(i + 1));
        EXPECT_NE(byName, nullptr) << name;
        EXPECT_EQ(byName, byOrdinal) << name << " is not ordinal " << i + 1;
    }
}

TEST_P(BoundaryTest, HasNoExportOutsideTheContract) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::set<std::string> own(facts.exportsByOrdinal.begin(), facts.exportsByOrdinal.end());
    for (const char* name : {"InitializePlugin", "Cancel", "WertowikAttachHost", "RegisterCD@40", "_RegisterCD@40",
                             "_InitializePlugin", "DllMain"}) {
        if (own.count(name) == 0) {
            EXPECT_EQ(GetProcAddress(library->module(), name), nullptr) << name;
        }
    }
}

TEST_P(BoundaryTest, ImportsOnlyFromSystemLibraries) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll",
                                          "advapi32.dll", "ntdll.dll"};
    const std::vector<ImportedFunction> imports = ImportsOf(library->module());
    ASSERT_FALSE(imports.empty());
    for (const ImportedFunction& import : imports) {
        EXPECT_EQ(system.count(Lower(import.dll)), 1u) << import.dll << "!" << import.name;
    }
}

TEST_P(BoundaryTest, ImportsTheUserInterfaceCallsByNameFromTheirSystemLibraries) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::vector<std::string>& installed = library->standIns();
    auto has = [&](const char* name) { return std::count(installed.begin(), installed.end(), name) == 1; };
    EXPECT_TRUE(has("user32!MessageBoxA"));
    if (facts.opensFiles) {
        EXPECT_TRUE(has("shell32!ShellExecuteA"));
    }
    if (facts.boxesOwnedByActiveWindow) {
        EXPECT_TRUE(has("user32!GetActiveWindow"));
    }
}

TEST_P(BoundaryTest, NamesAreTheConstantTextsAtOneAddress) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);

    const CallOutcome name = library->PluginName();
    const CallOutcome cdName = library->CDName();
    EXPECT_TRUE(name.balanced()) << "stack delta " << name.stackDelta;
    EXPECT_TRUE(cdName.balanced()) << "stack delta " << cdName.stackDelta;
    EXPECT_EQ(TextAt(name.eax), facts.pluginName) << Escaped(TextAt(name.eax));
    EXPECT_EQ(TextAt(cdName.eax), facts.cdName) << Escaped(TextAt(cdName.eax));
    EXPECT_EQ(library->PluginName().eax, name.eax);
    EXPECT_EQ(library->CDName().eax, cdName.eax);

    // The texts lie inside the library's own image.
    const auto base = reinterpret_cast<uintptr_t>(library->module());
    EXPECT_GT(name.eax, base);
    EXPECT_GT(cdName.eax, base);
    EXPECT_TRUE(Log().boxes.empty());
}

TEST_P(BoundaryTest, InfoShowsItsBoxAndReturnsTheButton) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);

    const CallOutcome info = library->Info();
    EXPECT_TRUE(info.balanced()) << "stack delta " << info.stackDelta;
    EXPECT_EQ(info.eax, static_cast<uint32_t>(IDOK));
    ASSERT_EQ(Log().boxes.size(), 1u);
    const RecordedBox& box = Log().boxes[0];
    EXPECT_EQ(box.text, facts.infoText) << Escaped(box.text);
    EXPECT_EQ(box.caption, std::optional<std::string>(kInfoCaption));
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(box.owner, facts.boxesOwnedByActiveWindow ? FakeActiveWindow() : nullptr);
}

TEST_P(BoundaryTest, InitializePluginTakesTheLetterInAlAndAnswersTrueInAl) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    if (facts.exportsByOrdinal.front() != "InitializePlugin") {
        EXPECT_EQ(library->Export("InitializePlugin"), nullptr);
        return;
    }
    for (const char letter : {'D', 'E', 'Z', 'a', '\0'}) {
        const CallOutcome outcome = library->InitializePlugin(letter);
        EXPECT_TRUE(outcome.balanced()) << "letter " << letter << ", stack delta " << outcome.stackDelta;
        EXPECT_EQ(outcome.al(), 1) << "letter " << letter;
    }
    EXPECT_TRUE(Log().boxes.empty());
    EXPECT_TRUE(Log().discAccess.empty());
}

TEST_P(BoundaryTest, ADriveWithoutADiscIsNotMineWithoutAnyBoxOrPrompt) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    if (library->Export("InitializePlugin") != nullptr) {
        library->InitializePlugin('N');
    }
    const CallOutcome answer = library->CanYouRegister();
    EXPECT_TRUE(answer.balanced()) << "stack delta " << answer.stackDelta;
    EXPECT_EQ(answer.al(), raNotMine);
    EXPECT_TRUE(Log().boxes.empty());
    // Every look at the empty drive happened with the critical-error prompt switched off, and the
    // error mode is back to what it was.
    for (const RecordedDiscAccess& access : Log().discAccess) {
        EXPECT_TRUE(access.criticalErrorsOff) << access.function << " " << access.path;
        if (!access.path.empty()) {
            EXPECT_EQ(access.path.substr(0, 3), "N:\\") << access.function;
        }
    }
    EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
    SetErrorMode(0);
}

// The frame around RegisterCD on Windows: the streams are the host runtime's objects, and a failing
// call into the host (by its result, or by the runtime's exception raised inside it) ends the call
// with the library's box and result 2, the stack, registers and exception chain as they were, and
// nothing escaping to the host. Every raise runs twice: with RtlUnwind returning as Wine's does,
// and as the NT family's does (integer registers zero), where a guard that trusts a register
// across the unwind faults and catches its own fault. Every case here fails before the library
// writes a byte.
struct HostFailure {
    const char* what;
    RuntimeStream::Failure disc;     // the disc stream's first operation of this kind fails
    RuntimeStream::Failure entries;  // the same for the entry stream
    int raiseAtProgress;             // the k-th progress call raises
    bool progressReported;
    bool raised;
};

TEST_P(BoundaryTest, AFailingCallIntoTheHostEndsRegisterCDWithOneBoxAndResultTwo) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    using F = RuntimeStream::Failure;
    const HostFailure failures[] = {
        {"negative disc stream size", F::Size, F::None, 0, false, false},
        {"disc stream moved elsewhere", F::SetPosition, F::None, 0, false, false},
        {"entry stream moved elsewhere", F::None, F::SetPosition, 0, false, false},
        {"size query raises", F::RaiseInSize, F::None, 0, false, true},
        {"seek raises", F::None, F::RaiseInSeek, 0, false, true},
        {"progress callback raises", F::None, F::None, 1, true, true},
    };
    for (const bool ntStyle : {false, true}) {
        for (const HostFailure& failure : failures) {
            if (!failure.raised && ntStyle) {
                continue;
            }
            SCOPED_TRACE(std::string(failure.what) + (ntStyle ? ", NT's unwind" : ", Wine's unwind"));
            ResetLog();
            Log().raiseAtProgress = failure.raiseAtProgress;
            Log().ntStyleUnwind = ntStyle;
            if (library->Export("InitializePlugin") != nullptr) {
                library->InitializePlugin('N');
            }
            RuntimeStream disc;
            RuntimeStream entries;
            disc.Preload("already");
            disc.FailAt(1, failure.disc);
            entries.FailAt(1, failure.entries);
            TDiscRecord record{};
            record.DiscId = 7;
            const int unhandledBefore = UnhandledExceptionsSeen();
            const CallOutcome outcome =
                library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
            EXPECT_FALSE(outcome.escaped);
            EXPECT_TRUE(outcome.balanced())
                << "stack delta " << outcome.stackDelta << ", chain kept " << outcome.chainKept;
            EXPECT_EQ(UnhandledExceptionsSeen(), unhandledBefore);
            EXPECT_EQ(outcome.al(), rrFailed);
            EXPECT_EQ(disc.bytes(), "already");
            EXPECT_EQ(entries.bytes(), "");
            EXPECT_EQ(Log().progress.empty(), !failure.progressReported);
            // The host's own frames were unwound: its cleanup ran once for the one exception, and
            // the guard unwound once; a second unwind is the guard catching a fault of its own.
            EXPECT_EQ(disc.hostFramesUnwound() + entries.hostFramesUnwound() + Log().progressFramesUnwound,
                      failure.raised ? 1 : 0);
            EXPECT_EQ(Log().unwindCalls, failure.raised ? 1 : 0);
            EXPECT_EQ(disc.Misuse(), std::vector<std::string>{});
            EXPECT_EQ(entries.Misuse(), std::vector<std::string>{});
            ASSERT_EQ(Log().boxes.size(), 1u);
            EXPECT_EQ(Log().boxes[0].caption, std::nullopt);
            EXPECT_EQ(Log().boxes[0].flags, static_cast<UINT>(MB_OK));
            EXPECT_EQ(Log().boxes[0].owner, facts.boxesOwnedByActiveWindow ? FakeActiveWindow() : nullptr);
            const bool enterFamily = facts.name == "enter" || facts.name == "plavik";
            EXPECT_EQ(Log().boxes[0].text, enterFamily ? kEnterRegistrationFailure : kContactAuthorFailure)
                << Escaped(Log().boxes[0].text);
        }
    }
}

// A write into the host's stream that raises, on a disc each library writes from: the same one box
// and result 2 under either unwind, nothing of the entries kept and the host's frame unwound once.
// The PC World Komputer library writes nothing, ever.
TEST(GuardTest, AWriteThatRaisesEndsRegisterCDWithOneBoxAndResultTwo) {
    struct Case {
        const char* library;
        char drive;  // N: no disc; E: an Enter disc; C: the large CHIP disc made here
    };
    const LargeIndexDisc chipDisc;
    for (const Case c : {Case{"chip", 'C'}, Case{"tarvo", 'N'}, Case{"holvar", 'N'}, Case{"enter", 'E'},
                         Case{"plavik", 'E'}}) {
        WTK_LOAD_OR_SKIP(library, c.library);
        for (const bool ntStyle : {false, true}) {
            SCOPED_TRACE(std::string(c.library) + (ntStyle ? ", NT's unwind" : ", Wine's unwind"));
            ResetLog(IDYES);
            Log().ntStyleUnwind = ntStyle;
            library->InitializePlugin(c.drive);
            RuntimeStream disc;
            RuntimeStream entries;
            disc.FailAt(1, RuntimeStream::Failure::RaiseInWrite);
            TDiscRecord record{};
            const char label[] = "ABCDEFG0405";
            record.Label[0] = sizeof label - 1;
            std::memcpy(record.Label + 1, label, sizeof label - 1);
            const int unhandledBefore = UnhandledExceptionsSeen();
            const CallOutcome outcome =
                library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
            EXPECT_TRUE(outcome.balanced()) << "stack delta " << outcome.stackDelta << ", escaped " << outcome.escaped;
            EXPECT_EQ(UnhandledExceptionsSeen(), unhandledBefore);
            EXPECT_EQ(outcome.al(), rrFailed);
            EXPECT_EQ(entries.bytes(), "");
            EXPECT_EQ(disc.hostFramesUnwound(), 1);
            EXPECT_EQ(Log().unwindCalls, 1);
            const bool enterFamily = std::string(c.library) == "enter" || std::string(c.library) == "plavik";
            const char* failureText = enterFamily ? kEnterRegistrationFailure : kContactAuthorFailure;
            EXPECT_EQ(std::count_if(Log().boxes.begin(), Log().boxes.end(),
                                    [&](const RecordedBox& box) { return box.text == failureText; }),
                      1);
        }
    }
}

TEST_P(BoundaryTest, RegisterCDReadsThe64BitSizeAndAppendsAtTheEndOfBothStreams) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    // A drive without a disc: whatever a library writes, it writes after what the streams held.
    if (library->Export("InitializePlugin") != nullptr) {
        library->InitializePlugin('N');
    }
    RuntimeStream disc;
    RuntimeStream entries;
    disc.Preload("disc-stream-bytes");
    entries.Preload("entry-stream");
    TDiscRecord record{};
    const char label[] = "ABCDEFG0405";
    record.Label[0] = sizeof label - 1;
    std::memcpy(record.Label + 1, label, sizeof label - 1);
    const CallOutcome outcome = library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
    EXPECT_TRUE(outcome.balanced()) << "stack delta " << outcome.stackDelta;
    EXPECT_NE(outcome.al(), rrFailed);
    EXPECT_EQ(disc.bytes().substr(0, 17), "disc-stream-bytes");
    EXPECT_EQ(disc.position(), static_cast<int64_t>(disc.bytes().size()));
    EXPECT_EQ(entries.bytes(), "entry-stream");
    EXPECT_EQ(entries.position(), 12);
    EXPECT_EQ(disc.Misuse(), std::vector<std::string>{});
    EXPECT_EQ(entries.Misuse(), std::vector<std::string>{});
    ASSERT_FALSE(Log().progress.empty());
    EXPECT_EQ(Log().progress[0], 0);
    EXPECT_TRUE(Log().boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Libraries, BoundaryTest, testing::ValuesIn(AllLibraries()), LibraryName());

}  // namespace

}  // namespace wtk::win32test
