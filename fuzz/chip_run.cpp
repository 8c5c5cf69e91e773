#include "chip_run.h"

#include <memory>

#include "fuzz_check.h"
#include "host/modules/memory_stream.h"
#include "host/modules/plugin_module.h"

namespace wtk::fuzz {

namespace {

constexpr uint16_t kDiscId = 0x4321;
const std::string kFailureText =
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";

std::unique_ptr<wertowik::PluginModule>& Chip() {
    static std::unique_ptr<wertowik::PluginModule> module;
    return module;
}

std::vector<int32_t>* g_progress = nullptr;

void CollectProgress(int32_t percent) { g_progress->push_back(percent); }

void CheckFrame(const ChipRun& run, const test::FakeHost& host) {
    Require(run.result == rrDone || run.result == rrFailed, "the result is 0 or 2");
    if (run.result == rrFailed) {
        Require(run.boxes.size() == 1, "a failure shows exactly one box");
        Require(run.boxes[0] == test::ShownBox{kFailureText, std::nullopt, 0, false}, "the library's failure box");
    } else {
        Require(run.boxes.empty(), "a registration that succeeds shows no box");
    }
    Require(host.openSearches() == 0 && host.openFiles() == 0, "every search and file is closed");
    Require(!run.progress.empty() && run.progress.front() == 0, "progress starts at 0");
    for (std::size_t i = 1; i < run.progress.size(); ++i) {
        Require(run.progress[i] >= run.progress[i - 1] && run.progress[i] <= 100, "progress rises to 100 at most");
    }
    Require(!run.decodedDiscs.truncatedAt && !run.decodedEntries.truncatedAt, "both streams walk to their ends");
    Require(run.decodedDiscs.records.size() <= 1, "at most one disc record");
    for (const auto& entry : run.decodedEntries.records) {
        Require(entry.header.DiscId == kDiscId && entry.header.Reserved == 0, "entry headers as the record says");
    }
    Require(run.entries.empty() || run.decodedDiscs.records.size() == 1, "entries only behind a disc record");
}

}  // namespace

void LoadChip() {
    if (!Chip()) {
        Chip() = wertowik::PluginModule::Load("chip", std::string(WERTOWIK_PLUGIN_DIR) + "/chip.so");
    }
}

ChipRun RegisterWithChip(test::FakeHost& host) {
    LoadChip();
    wertowik::PluginModule& chip = *Chip();
    chip.attachHost(host.services());
    chip.initializePlugin('D');

    ChipRun run;
    wertowik::MemoryStream discs, entries;
    TDiscRecord record{};
    record.DiscId = kDiscId;
    g_progress = &run.progress;
    run.result = chip.registerCD(discs.variable(), entries.variable(), record, &CollectProgress);
    g_progress = nullptr;
    chip.attachHost(nullptr);

    run.boxes = host.boxes();
    run.discs = discs.bytes();
    run.entries = entries.bytes();
    run.decodedDiscs = wertowik::DecodeDiscStream(run.discs);
    run.decodedEntries = wertowik::DecodeEntryStream(run.entries);
    CheckFrame(run, host);
    return run;
}

bool EntryTextsHold(const ChipRun& run, const std::string& bytes) {
    for (const auto& entry : run.decodedEntries.records) {
        for (const std::string* text : {&entry.name, &entry.version, &entry.description}) {
            if (text->find_first_of(bytes) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace wtk::fuzz
