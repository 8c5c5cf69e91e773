// How fast the chip module imports a large browser-layout index and a large legacy table, next
// to the time it takes merely to copy and scan the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fake_host.h"
#include "memory_host_stream.h"
#include "plugin_module.h"

namespace wtk::test {
namespace {

constexpr std::size_t kIndexSize = std::size_t{64} << 20;
constexpr int kTableLines = 200000;

// A browser-layout index of about 64 MB: categories, program lines whose numbers repeat and run
// past the seen table, and the trailer.
const std::string& BrowserIndex() {
    static const std::string index = [] {
        std::string bytes = "CHIP-CD browser index, header of 44 bytes.";
        bytes.resize(44, ' ');
        bytes.reserve(kIndexSize + 256);
        const char* const categories[] = {"software", "internet", "porady", "hardware"};
        for (std::size_t line = 0; bytes.size() < kIndexSize; ++line) {
            if (line % 50 == 0) {
                bytes += "0\t";
                bytes += categories[(line / 50) % 4];
                bytes += "\t\r\n";
                continue;
            }
            bytes += std::to_string(line % 1100);
            bytes += "\tProgram ";
            bytes += std::to_string(line);
            bytes += " v2.";
            bytes += std::to_string(line % 10);
            bytes +=
                "\tNarz\xEA"
                "dzie do pracy z plikami, wersja testowa numer ";
            bytes += std::to_string(line);
            bytes += "\r\n";
        }
        bytes += "Spis programow CHIP CD\t05/2004\t\r\n";
        return bytes;
    }();
    return index;
}

// A legacy table of a header and 200,000 lines, every licence word and section among them.
const std::string& LegacyTable() {
    static const std::string table = [] {
        const char* const licences[] = {"Freeware", "Shareware", "Demonstracyjna", "30-dniowa", "", "Pe\xB3na", ""};
        const char* const sections[] = {"narzedzia", "top_ten", "testsoft", "gry"};
        std::string bytes = "id\tgrupa\tpodgrupa\tplik\tnr\ttytul\topis\tdzial\tkat\tlicencja\r\n";
        for (int line = 0; line < kTableLines; ++line) {
            bytes += std::to_string(line);
            bytes += "\tprogramy\tnarzedzia\tplik";
            bytes += std::to_string(line);
            bytes += ".zip\t";
            bytes += std::to_string(line % 1200);
            bytes += "\tEdytor ";
            bytes += std::to_string(line);
            bytes += " 3.";
            bytes += std::to_string(line % 10);
            bytes +=
                "\tProsty edytor tekstu z pod\x9Cwietlaniem sk\xB3"
                "adni\t";
            bytes += sections[line % 4];
            bytes += "\tkat\t";
            bytes += licences[line % 7];
            bytes += "\r\n";
        }
        return bytes;
    }();
    return table;
}

void WTK_STDCALL IgnoreProgress(int32_t) {}

// The module attached to a host whose disc carries both imports' files.
struct ChipDisc {
    FakeHost host;
    PluginModule module{"chip", host};

    explicit ChipDisc(bool browserLayout) {
        if (browserLayout) {
            host.AddFile("D:\\startuj.exe", "");
            host.AddFile("D:\\Browser\\Chip.dat", BrowserIndex());
        } else {
            host.AddFile("D:\\Chip16.exe", "");
            host.AddFile("D:\\Tabela.dbt", LegacyTable());
            host.SetVolumeLabel("D:\\", "CHIP_05_99");
        }
        module.InitializePlugin('D');
    }

    void Register(benchmark::State& state) {
        MemoryHostStream discs, entries;
        const TDiscRecord record = MakeRecord(1, "CHIP");
        const uint8_t result = module.RegisterCD(discs.variable(), entries.variable(), record, &IgnoreProgress);
        if (result != 0) {
            state.SkipWithError("the registration failed");
        }
        benchmark::DoNotOptimize(entries.bytes().data());
        state.counters["entry_bytes"] = static_cast<double>(entries.bytes().size());
    }
};

// The baseline: copy the bytes as a whole-file read does, then find every line break once.
void CopyAndScan(benchmark::State& state, const std::string& bytes) {
    std::string copy;
    for (auto _ : state) {
        copy.assign(bytes.data(), bytes.size());
        std::size_t lines = static_cast<std::size_t>(std::count(copy.begin(), copy.end(), '\r'));
        benchmark::DoNotOptimize(lines);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void BM_BrowserIndexImport(benchmark::State& state) {
    ChipDisc disc(true);
    for (auto _ : state) {
        disc.Register(state);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BrowserIndex().size()));
}

void BM_BrowserIndexCopyAndScan(benchmark::State& state) { CopyAndScan(state, BrowserIndex()); }

void BM_LegacyTableImport(benchmark::State& state) {
    ChipDisc disc(false);
    for (auto _ : state) {
        disc.Register(state);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(LegacyTable().size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTableLines);
}

void BM_LegacyTableCopyAndScan(benchmark::State& state) {
    CopyAndScan(state, LegacyTable());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTableLines);
}

BENCHMARK(BM_BrowserIndexImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrowserIndexCopyAndScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LegacyTableImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LegacyTableCopyAndScan)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wtk::test

BENCHMARK_MAIN();
