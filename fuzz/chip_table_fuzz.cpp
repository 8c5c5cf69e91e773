// The CHIP legacy import on any table Tabela.dbt, on a disc labelled CHIP_05_99. Besides the rules
// every registration keeps (chip_run.h):
// - the disc record, named "CHIP" with issue 5 and year 1999, is written before the table is read;
// - no more entries than data lines, each with a licence kind of 0 to 5, no TAB or CR in its texts,
//   no LF either unless the table holds a CR (then only CR ends a line), and no version unless its
//   licence word or section asked for the split;
// - progress never reaches 100.
#include <algorithm>
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
    const std::string table(wtk::fuzz::AsText(data, size));
    wtk::test::FakeHost host;
    host.AddFile("D:\\Chip16.exe", "MZ");
    host.SetVolumeLabel("D:\\", "CHIP_05_99");
    host.AddFile("D:\\Tabela.dbt", table);
    const wtk::fuzz::ChipRun run = wtk::fuzz::RegisterWithChip(host);

    Require(run.decodedDiscs.records.size() == 1, "the disc record comes first");
    const auto& disc = run.decodedDiscs.records[0];
    Require(disc.name == "CHIP" && disc.record.Issue == 5 && disc.record.Year == 1999, "CHIP, issue 5, 1999");
    const std::size_t breaks = static_cast<std::size_t>(
        std::count_if(table.begin(), table.end(), [](char c) { return c == '\r' || c == '\n'; }));
    Require(run.decodedEntries.records.size() <= breaks, "no more entries than data lines");
    for (const auto& entry : run.decodedEntries.records) {
        Require(entry.header.LicenceKind <= wtk::lkTrial, "a licence kind of 0 to 5");
    }
    Require(!wtk::fuzz::EntryTextsHold(run, std::string("\t\r")), "texts are pieces of one line's fields");
    Require(table.find('\r') != std::string::npos || !wtk::fuzz::EntryTextsHold(run, std::string("\n")),
            "LF ends the lines of a table without CR");
    Require(std::all_of(run.progress.begin(), run.progress.end(), [](int32_t p) { return p < 100; }),
            "progress never reaches 100");
    return 0;
}
