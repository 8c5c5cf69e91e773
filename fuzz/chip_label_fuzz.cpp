// The CHIP legacy import under any volume label, with a good table. The label is the only thing
// that can go wrong, and it is read before anything is written, so:
// - a failure leaves both streams empty;
// - a success writes the record, named "CHIP", and the table's one entry; its year is never a
//   two-digit year (those get their century) unless the label's year is negative (counted from
//   1900), and the label holds a digit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "chip_run.h"
#include "fuzz_check.h"

using wtk::fuzz::Require;

namespace {
const std::string kTable =
    "Id\tKatalog\tPlik\tRozmiar\tNumer\tTytul\tOpis\tDzial\tUwagi\tLicencja\r\n"
    "1\tPROG\tsetup.exe\t100\t7\tEdytor 1.0\tOpis\ttestsoft\t\tFreeware\r\n";
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    wtk::fuzz::LoadChip();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string label(wtk::fuzz::AsText(data, size));
    wtk::test::FakeHost host;
    host.AddFile("D:\\Chip16.exe", "MZ");
    host.SetVolumeLabel("D:\\", label);
    host.AddFile("D:\\Tabela.dbt", kTable);
    const wtk::fuzz::ChipRun run = wtk::fuzz::RegisterWithChip(host);

    if (run.result == wtk::rrFailed) {
        Require(run.discs.empty() && run.entries.empty(), "a label that fails writes nothing");
        return 0;
    }
    Require(run.decodedDiscs.records.size() == 1 && run.decodedDiscs.records[0].name == "CHIP", "the CHIP record");
    Require(run.decodedEntries.records.size() == 1, "the table's one entry");
    const bool negativeYear = label.find("_-") != std::string::npos;
    Require(run.decodedDiscs.records[0].record.Year >= 100 || negativeYear, "a two-digit year gets its century");
    Require(std::any_of(label.begin(), label.end(), [](char c) { return c >= '0' && c <= '9'; }),
            "issue and year come from the label's digits");
    return 0;
}
