// The CHIP browser-layout import on any index file Browser\Chip.dat. Besides the rules every
// registration keeps (chip_run.h):
// - nothing is written only when the import fails on the trailer, and then the entry stream stays empty too;
// - otherwise the disc record is named "CHIP CD";
// - at most 1000 entries (program numbers 0 to 999, each once), each with licence kind 0 and no
//   TAB or CR in its texts;
// - an import that succeeds on an index with a line behind its header and the character read
//   ahead reports 100 last.
#include <cstddef>
#include <cstdint>
#include <string>

#include "chip_run.h"
#include "fuzz_check.h"

using wtk::fuzz::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    wtk::fuzz::LoadChip();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    wtk::test::FakeHost host;
    host.AddFile("D:\\startuj.exe", "MZ");
    host.AddFile("D:\\Browser\\Chip.dat", std::string(wtk::fuzz::AsText(data, size)));
    const wtk::fuzz::ChipRun run = wtk::fuzz::RegisterWithChip(host);

    if (run.discs.empty()) {
        Require(run.result == wtk::rrFailed && run.entries.empty(), "only a failed trailer writes nothing");
    } else {
        Require(run.decodedDiscs.records[0].name == "CHIP CD", "the disc is named CHIP CD");
        Require(run.decodedDiscs.records[0].record.NameLength == 7, "the name is 7 bytes");
    }
    Require(run.decodedEntries.records.size() <= 1000, "each program number once");
    for (const auto& entry : run.decodedEntries.records) {
        Require(entry.header.LicenceKind == wtk::lkUnspecified, "licence kind 0");
    }
    Require(!wtk::fuzz::EntryTextsHold(run, std::string("\t\r")), "texts are pieces of one line's fields");
    if (run.result == wtk::rrDone && size > 45) {
        Require(run.progress.back() == 100, "the last progress is 100");
    }
    return 0;
}
