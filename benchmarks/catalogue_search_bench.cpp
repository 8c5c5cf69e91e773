// Searching a catalogue of one million programs (1000 discs of 1000 programs each), stored through
// the same Catalogue::Store that `wertowik register` uses. The catalogue is built once, in
// $WERTOWIK_BENCH_CATALOGUE or /tmp/wertowik-bench-1m.sqlite, and reused by later runs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "host/catalogue/catalogue.h"

namespace {

namespace fs = std::filesystem;
using wertowik::Catalogue;

constexpr int kDiscs = 1000;
constexpr int kProgramsPerDisc = 1000;

std::string U16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

std::string DiscBytes(uint16_t id, const std::string& name) {
    std::string bytes = U16(id) + '\x05' + U16(2004) + '\x08' + "BENCH_04" + std::string(6, '\0') +
                        std::string(4, '\0') + static_cast<char>(name.size());
    return bytes + name;
}

std::string EntryBytes(uint16_t id, uint8_t licence, const std::string& name, const std::string& version,
                       const std::string& description) {
    return U16(id) + static_cast<char>(licence) + static_cast<char>(name.size()) + '\0' +
           static_cast<char>(version.size()) + U16(static_cast<uint16_t>(description.size())) + name + version +
           description;
}

// Made-up words: a few thousand of them, each in about a thousand programs.
std::vector<std::string> Vocabulary() {
    const char* syllables[] = {"ka",  "lo", "mi", "ter", "dan", "pro", "sy", "wo", "ne",  "gra",
                               "fix", "bu", "zo", "re",  "tak", "mo",  "lu", "pi", "sta", "we"};
    std::vector<std::string> words;
    for (const char* a : syllables) {
        for (const char* b : syllables) {
            for (const char* c : syllables) {
                words.push_back(std::string(a) + b + c);
            }
        }
    }
    return words;  // 8000
}

fs::path CataloguePath() {
    const char* chosen = std::getenv("WERTOWIK_BENCH_CATALOGUE");
    return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path("/tmp/wertowik-bench-1m.sqlite");
}

// Fills the catalogue unless it holds the million programs already. One program in 10000 is called
// "Źródło" (Windows-1250 "\x8Fr\xF3d\xB3o"), one in ten mentions "program" in its description.
void Build(const fs::path& file) {
    {
        Catalogue existing = Catalogue::Open(file, Catalogue::Access::Read);
        const auto discs = existing.Discs();
        if (discs.size() == kDiscs && discs.back().programs == kProgramsPerDisc) {
            return;
        }
    }
    fs::remove(file);
    std::cerr << "Building a catalogue of " << kDiscs * kProgramsPerDisc << " programs in " << file << "...\n";
    const auto words = Vocabulary();
    std::mt19937 random(2004);
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    Catalogue catalogue = Catalogue::Open(file, Catalogue::Access::Write);
    int serial = 0;
    for (int d = 0; d < kDiscs; ++d) {
        const uint16_t id = catalogue.NextFreeId();
        const std::string discs = DiscBytes(id, "CHIP CD " + std::to_string(d));
        std::string entries;
        for (int p = 0; p < kProgramsPerDisc; ++p, ++serial) {
            std::string name = serial % 10000 == 7 ? "\x8Fr\xF3"
                                                     "d\xB3o " +
                                                         words[pick(random)]
                                                   : words[pick(random)] + " " + words[pick(random)];
            std::string description;
            for (int w = 0; w < 10; ++w) {
                description += words[pick(random)] + (w == 4 && serial % 10 == 0 ? " program " : " ");
            }
            entries += EntryBytes(id, static_cast<uint8_t>(serial % 8), name,
                                  std::to_string(serial % 9) + "." + std::to_string(serial % 7), description);
        }
        const auto stored =
            catalogue.Store(wertowik::Submission{"chip", "/bench/" + std::to_string(d), 0, id, discs, entries}, true);
        if (stored.status != wertowik::StoreStatus::Stored) {
            throw std::runtime_error("not stored: " + stored.reason);
        }
    }
}

Catalogue& Shared() {
    static Catalogue catalogue = [] {
        Build(CataloguePath());
        return Catalogue::Open(CataloguePath(), Catalogue::Access::Read);
    }();
    return catalogue;
}

// One search as `wertowik search` makes it: the words, an optional filter, 51 rows at most.
void Search(benchmark::State& state, const std::string& text, std::optional<uint8_t> licence, std::size_t limit,
            std::optional<uint16_t> disc = std::nullopt) {
    Catalogue& catalogue = Shared();
    std::size_t found = 0;
    for (auto _ : state) {
        const auto hits = catalogue.Search(wertowik::SearchQuery{text, licence, disc, limit});
        found = hits.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = static_cast<double>(found);
}

void BM_RareWordWithoutDiacritics(benchmark::State& state) { Search(state, "zrodlo", std::nullopt, 51); }
void BM_RareWordPrefix(benchmark::State& state) { Search(state, "zro", std::nullopt, 51); }
void BM_OneVocabularyWord(benchmark::State& state) { Search(state, "kalomi", std::nullopt, 51); }
void BM_TwoVocabularyWords(benchmark::State& state) { Search(state, "kalomi terdanpro", std::nullopt, 51); }
void BM_CommonWord(benchmark::State& state) { Search(state, "program", std::nullopt, 51); }
void BM_CommonWordWithLicence(benchmark::State& state) { Search(state, "program", 2, 51); }
void BM_OneVocabularyWordAllMatches(benchmark::State& state) { Search(state, "kalomi", std::nullopt, 0); }
// A filter most matches fail: an odd licence never goes with the word "program" itself, only with
// the fewer programs holding a made-up word that starts with it.
void BM_CommonWordNoMatchingLicence(benchmark::State& state) { Search(state, "program", 1, 51); }
void BM_CommonWordOnOneDisc(benchmark::State& state) { Search(state, "program", std::nullopt, 51, 500); }

BENCHMARK(BM_RareWordWithoutDiacritics)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RareWordPrefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneVocabularyWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoVocabularyWords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonWordWithLicence)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneVocabularyWordAllMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonWordNoMatchingLicence)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommonWordOnOneDisc)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
