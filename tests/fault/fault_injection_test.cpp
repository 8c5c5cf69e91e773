// Every library on every sample disc, with each operation of a good run made to fail in turn: each
// disc operation (file test, search, open, read) and each operation on either host stream (size,
// position, write). Whatever fails, the call must end right there with exactly one box carrying
// the library's failure text and flags, answer 1 or result 2, streams that hold a prefix of what
// the good run wrote, and every search and file closed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "faulty_services.h"
#include "host/base/cp1250.h"
#include "host/modules/plugin_module.h"
#include "host/modules/registration.h"
#include "host/modules/stream_decode.h"
#include "memory_host_stream.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wertowik {
namespace {

namespace fs = std::filesystem;
using wtk::test::FaultyServices;
using wtk::test::MemoryHostStream;

constexpr char kDrive = 'D';

const std::string kAskAuthor = "Wyst\xB9pi\xB3 b\xB3\xB9" "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";
const std::string kAskPluginAuthor =
    "Wyst\xB9pi\xB3 b\xB3\xB9" "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem wtyczki.";
const std::string kEnterRecognitionFailure =
    "B\xB3\xB9" "d podczas sprawdzania mo\xBFliwosci rejestracji. Przeka\xBF p\xB3yt\xEA autorowi programu z celu "
    "aktualizacji";
const std::string kEnterRegistrationFailure =
    "B\xB3\xB9" "d podczas pr\xF3" "by rejestracji. Przeka\xBF p\xB3yt\xEA autorowi programu z celu aktualizacji";

struct Box {
    std::string text;
    uint32_t flags = 0;
};

// The failure boxes of one library; every one has no caption of its own.
struct FailureBoxes {
    std::optional<Box> recognition;  // nothing: the library tests nothing that can fail
    Box registration;
    bool owned = false;  // shown for the host's active window
};

const std::map<std::string, FailureBoxes>& LibraryFailureBoxes() {
    static const std::map<std::string, FailureBoxes> boxes{
        {"chip", {Box{kAskAuthor, 0x30}, Box{kAskAuthor, 0}, false}},
        {"tarvo", {Box{kAskPluginAuthor, 0x30}, Box{kAskAuthor, 0}, false}},
        {"holvar", {Box{kAskPluginAuthor, 0x30}, Box{kAskAuthor, 0}, false}},
        {"enter", {Box{kEnterRecognitionFailure, 0}, Box{kEnterRegistrationFailure, 0}, true}},
        {"plavik", {Box{kEnterRecognitionFailure, 0}, Box{kEnterRegistrationFailure, 0}, false}},
        {"vexlo", {std::nullopt, Box{kAskAuthor, 0}, false}},
    };
    return boxes;
}

// Questions are answered No, every other box OK.
class AnsweringUi final : public UserInterface {
public:
    int32_t ShowBox(const BoxRecord& box) override { return (box.flags & 0x0F) == 4 ? 7 : 1; }
    void OpenFile(const OpenRecord&, Drive*) override {}
};

// A host stream that writes each of its operations into the journal.
class JournalStream final : public MemoryHostStream {
public:
    JournalStream(std::string name, std::vector<std::string>& journal) : name_(std::move(name)), journal_(journal) {}

protected:
    bool Allow(Operation operation) override {
        const bool allowed = MemoryHostStream::Allow(operation);
        static const char* const kNames[] = {"Size", "SetPosition", "Write"};
        journal_.push_back(name_ + " " + kNames[static_cast<int>(operation)] + (allowed ? "" : " -> failure"));
        return allowed;
    }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

thread_local std::vector<std::string>* g_journal = nullptr;

void JournalProgress(int32_t percent) { g_journal->push_back("Progress " + std::to_string(percent)); }

enum class FaultPlace { None, Disc, DiscStream, EntryStream };

struct Fault {
    FaultPlace place = FaultPlace::None;
    int k = 0;
};

std::string Describe(const Fault& fault) {
    static const char* const kPlaces[] = {"no fault", "disc operation", "disc stream operation",
                                          "entry stream operation"};
    return std::string(kPlaces[static_cast<int>(fault.place)]) + " " + std::to_string(fault.k);
}

struct CallRecord {
    std::vector<std::string> journal;
    int answer = -1;
    std::optional<int> result;  // nothing: RegisterCD was not called
    std::string discs, entries;
    int discOperations = 0;  // of the disc, not of the streams
    int recognitionDiscOperations = 0;
    int discStreamOperations = 0, entryStreamOperations = 0;
    bool faultDelivered = false;
    int openSearches = 0, openFiles = 0;
};

// One disc as the host offers it, run through one library: InitializePlugin, CanYouRegister and,
// unless the test itself failed, RegisterCD (also for a disc the library does not claim: the frame
// and the import must hold up on any disc).
CallRecord RunOnce(PluginModule& module, Session& session, const wtk::TDiscRecord& record, const Fault& fault,
            bool failVolumeLabel = false) {
    CallRecord run;
    FaultyServices faulty(*session.services());
    faulty.JournalInto(&run.journal);
    faulty.FailVolumeLabel(failVolumeLabel);
    faulty.FailAt(fault.place == FaultPlace::Disc ? fault.k : 0);
    module.attachHost(faulty.table());

    if (module.initializePlugin != nullptr) {
        module.initializePlugin(kDrive);
    }
    run.answer = module.canYouRegister();
    run.journal.push_back("answer " + std::to_string(run.answer));
    run.recognitionDiscOperations = faulty.operations();

    if (!faulty.failed()) {
        JournalStream discs("discs", run.journal), entries("entries", run.journal);
        if (fault.place == FaultPlace::DiscStream) {
            discs.FailAt(fault.k, MemoryHostStream::Failure::AnyOperation);
        } else if (fault.place == FaultPlace::EntryStream) {
            entries.FailAt(fault.k, MemoryHostStream::Failure::AnyOperation);
        }
        g_journal = &run.journal;
        run.result = module.registerCD(discs.variable(), entries.variable(), record, &JournalProgress);
        g_journal = nullptr;
        run.journal.push_back("result " + std::to_string(*run.result));
        run.discs = discs.bytes();
        run.entries = entries.bytes();
        run.discStreamOperations = discs.operations();
        run.entryStreamOperations = entries.operations();
        run.faultDelivered = (fault.place == FaultPlace::DiscStream && discs.operations() >= fault.k) ||
                             (fault.place == FaultPlace::EntryStream && entries.operations() >= fault.k);
    }
    run.discOperations = faulty.operations();
    run.faultDelivered = run.faultDelivered || faulty.failed();
    run.openSearches = faulty.openSearches();
    run.openFiles = faulty.openFiles();
    module.attachHost(nullptr);
    return run;
}

bool IsPrefix(const std::string& part, const std::string& whole) {
    return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

std::string FailureLine(const Box& box, bool owned) {
    return FaultyServices::BoxLine(box.text, nullptr, box.flags, owned, 1);
}

// What a run with one failing operation must look like beside the good run.
void ExpectFailedRun(const CallRecord& good, const CallRecord& failed, const FailureBoxes& boxes) {
    EXPECT_TRUE(failed.faultDelivered) << "the failing operation never came";
    EXPECT_EQ(failed.openSearches, 0) << "a search was left open";
    EXPECT_EQ(failed.openFiles, 0) << "a file was left open";

    const auto failing = std::find_if(failed.journal.begin(), failed.journal.end(), [](const std::string& line) {
        return line.ends_with(" -> failure");
    });
    ASSERT_NE(failing, failed.journal.end());
    const std::size_t at = static_cast<std::size_t>(failing - failed.journal.begin());

    // Up to the failing operation the run is the good run, call for call.
    ASSERT_GT(good.journal.size(), at);
    for (std::size_t i = 0; i < at; ++i) {
        ASSERT_EQ(failed.journal[i], good.journal[i]) << "journal line " << i;
    }
    const std::string& goodLine = good.journal[at];
    const std::string what = failing->substr(0, failing->size() - std::string(" -> failure").size());
    EXPECT_TRUE(goodLine == what || goodLine.starts_with(what + " -> ")) << goodLine << " / " << *failing;

    // Then one failure box and the failure code, nothing else.
    const bool inRecognition = std::find_if(good.journal.begin(), good.journal.begin() + at, [](const auto& line) {
                                   return line.starts_with("answer ");
                               }) == good.journal.begin() + at;
    std::vector<std::string> tail(failing + 1, failed.journal.end());
    if (inRecognition) {
        ASSERT_TRUE(boxes.recognition.has_value()) << "this library's test cannot fail";
        EXPECT_EQ(tail, (std::vector<std::string>{FailureLine(*boxes.recognition, boxes.owned), "answer 1"}));
        EXPECT_FALSE(failed.result.has_value());
        return;
    }
    EXPECT_EQ(tail, (std::vector<std::string>{FailureLine(boxes.registration, boxes.owned), "result 2"}));

    // What was appended stays, and is what the good run had appended up to that point.
    EXPECT_TRUE(IsPrefix(failed.discs, good.discs));
    EXPECT_TRUE(IsPrefix(failed.entries, good.entries));
    const auto discs = DecodeDiscStream(failed.discs);
    const auto entries = DecodeEntryStream(failed.entries);
    EXPECT_LE(discs.records.size(), 1u);
    // Only a failing write of a stream itself may leave a part of a record behind in it.
    if (!what.starts_with("discs ")) {
        EXPECT_FALSE(discs.truncatedAt.has_value()) << "the disc record was left incomplete";
    }
    if (!what.starts_with("entries ")) {
        EXPECT_FALSE(entries.truncatedAt.has_value()) << "an entry was left incomplete";
    }
}

// The sample discs the build wrote, each a folder.
std::vector<fs::path> SampleDiscs() {
    std::vector<fs::path> discs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(WERTOWIK_BUILD_DIR) / "samples-out", error)) {
        if (entry.is_directory()) {
            discs.push_back(entry.path());
        }
    }
    std::sort(discs.begin(), discs.end());
    return discs;
}

struct MountedDisc {
    std::unique_ptr<Drive> drive;
    AnsweringUi ui;
    std::unique_ptr<Session> session;
    wtk::TDiscRecord record{};
};

// The disc as wertowik mounts it: its own label, the host's default record.
std::unique_ptr<MountedDisc> Mount(const fs::path& folder, std::optional<std::string> labelOverride = std::nullopt) {
    auto mounted = std::make_unique<MountedDisc>();
    std::unique_ptr<DiscSource> source = OpenFolderDisc(folder);
    const std::optional<std::string> own = source->Label();
    const std::string label = NameToCp1250(own.value_or(""));
    mounted->record = DefaultRecord(1, label);
    mounted->drive = std::make_unique<Drive>(kDrive, std::move(source), labelOverride.value_or(label));
    mounted->session = std::make_unique<Session>(mounted->drive.get(), mounted->ui);
    return mounted;
}

class FaultInjection : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const std::string& name = GetParam();
        module = PluginModule::Load(name, fs::path(WERTOWIK_PLUGIN_DIR) / (name + ".so"));
        discs = SampleDiscs();
        ASSERT_FALSE(discs.empty()) << "no sample discs in " << WERTOWIK_BUILD_DIR << "/samples-out";
    }

    std::unique_ptr<PluginModule> module;
    std::vector<fs::path> discs;
};

TEST_P(FaultInjection, EveryFailingOperationEndsTheCallWithOneBox) {
    const FailureBoxes& boxes = LibraryFailureBoxes().at(GetParam());
    int faultRuns = 0;
    for (const fs::path& folder : discs) {
        SCOPED_TRACE(folder.filename().string());
        auto disc = Mount(folder);
        const CallRecord good = RunOnce(*module, *disc->session, disc->record, Fault{});
        ASSERT_TRUE(good.result.has_value());
        EXPECT_EQ(good.openSearches, 0);
        EXPECT_EQ(good.openFiles, 0);
        if (!boxes.recognition) {
            EXPECT_EQ(good.recognitionDiscOperations, 0);
        }

        std::vector<Fault> faults;
        for (int k = 1; k <= good.discOperations; ++k) faults.push_back({FaultPlace::Disc, k});
        for (int k = 1; k <= good.discStreamOperations; ++k) faults.push_back({FaultPlace::DiscStream, k});
        for (int k = 1; k <= good.entryStreamOperations; ++k) faults.push_back({FaultPlace::EntryStream, k});
        for (const Fault& fault : faults) {
            SCOPED_TRACE(Describe(fault));
            const CallRecord failed = RunOnce(*module, *disc->session, disc->record, fault);
            ExpectFailedRun(good, failed, boxes);
            ++faultRuns;
            if (HasFatalFailure()) {
                return;
            }
        }
    }
    EXPECT_GT(faultRuns, 0);
    RecordProperty("fault_runs", faultRuns);
}

// A volume label query that fails gives the empty label: no box of its own, and the same outcome
// as a disc that has no label.
TEST_P(FaultInjection, AFailedLabelQueryIsAnEmptyLabel) {
    for (const fs::path& folder : discs) {
        SCOPED_TRACE(folder.filename().string());
        auto labelled = Mount(folder);
        auto unlabelled = Mount(folder, std::string());
        const CallRecord failing = RunOnce(*module, *labelled->session, labelled->record, Fault{}, true);
        const CallRecord empty = RunOnce(*module, *unlabelled->session, labelled->record, Fault{});
        const auto withoutLabelQueries = [](std::vector<std::string> journal) {
            std::erase_if(journal, [](const std::string& line) { return line.starts_with("VolumeLabel "); });
            return journal;
        };
        EXPECT_EQ(withoutLabelQueries(failing.journal), withoutLabelQueries(empty.journal));
        EXPECT_EQ(failing.discs, empty.discs);
        EXPECT_EQ(failing.entries, empty.entries);
        EXPECT_EQ(failing.openSearches + failing.openFiles, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, FaultInjection, ::testing::ValuesIn(PluginNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace wertowik
