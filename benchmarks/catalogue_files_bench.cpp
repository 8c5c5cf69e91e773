// Every file of every disc in the catalogue: walking and storing a CD of 20,000 files from a warm
// ISO image (beside storing the same disc without its files), and searching the names of a
// catalogue of 1000 discs with 10,000 files each, ten million in all, stored through the same
// Catalogue::Store that `wertowik register` uses. The catalogue is built once, in
// $WERTOWIK_BENCH_FILES_CATALOGUE or /tmp/wertowik-bench-10m-files.sqlite, and reused; its
// "bytes_per_file" counter is what a file row and its words cost on disk.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "host/catalogue/catalogue.h"
#include "host/discs/disc_tree.h"

namespace {

namespace fs = std::filesystem;
using wertowik::Catalogue;
using wertowik::DiscTree;
using wertowik::TreeEntry;

constexpr int kDiscs = 1000;
constexpr int kFilesPerDisc = 10000;
constexpr int kFilesOnTheCd = 20000;

std::string U16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

std::string DiscBytes(uint16_t id) {
    const std::string name = "CHIP CD";
    return U16(id) + '\x05' + U16(2004) + '\x08' + "BENCH_04" + std::string(6, '\0') + std::string(4, '\0') +
           static_cast<char>(name.size()) + name;
}

// A made-up disc tree: folders of 100 names each, as cover discs have them (setup.exe, readme.txt,
// a program's own files), one file in 5000 called "rzadki_plik.dll".
DiscTree MadeUpTree(std::mt19937& random, int files) {
    static const char* kStems[] = {"setup",  "readme", "install", "program", "data",   "help",  "licencja", "opis",
                                   "zrodlo", "plugin", "gra",     "demo",    "update", "patch", "manual",   "image"};
    static const char* kExtensions[] = {"exe", "txt", "dll", "htm", "jpg", "zip", "ini", "hlp", "doc", "cab"};
    std::uniform_int_distribution<int> stem(0, 15), extension(0, 9), number(0, 999);
    DiscTree tree;
    int64_t folder = -1;
    for (int i = 0; i < files; ++i) {
        TreeEntry entry;
        if (i % 100 == 0) {
            entry.name = "Program_" + std::to_string(i / 100);
            entry.directory = true;
            tree.entries.push_back(entry);
            folder = static_cast<int64_t>(tree.entries.size()) - 1;
            continue;
        }
        entry.parent = folder;
        entry.name = i % 5000 == 17 ? std::string("rzadki_plik.dll")
                                    : std::string(kStems[stem(random)]) + std::to_string(number(random)) + "." +
                                          kExtensions[extension(random)];
        entry.size = number(random) * 1024 + 17;
        entry.modified = 1083000000 + number(random) * 60;
        tree.entries.push_back(std::move(entry));
    }
    tree.fingerprint = static_cast<int64_t>(random());
    return tree;
}

fs::path CataloguePath() {
    const char* chosen = std::getenv("WERTOWIK_BENCH_FILES_CATALOGUE");
    return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path("/tmp/wertowik-bench-10m-files.sqlite");
}

void Build(const fs::path& file) {
    {
        Catalogue existing = Catalogue::Open(file, Catalogue::Access::Read);
        const auto discs = existing.Discs();
        if (discs.size() == kDiscs && discs.back().files == kFilesPerDisc) {
            return;
        }
    }
    fs::remove(file);
    std::cerr << "Building a catalogue of " << kDiscs * kFilesPerDisc << " files in " << file << "...\n";
    std::mt19937 random(2004);
    Catalogue catalogue = Catalogue::Open(file, Catalogue::Access::Write);
    for (int d = 0; d < kDiscs; ++d) {
        const uint16_t id = catalogue.NextFreeId();
        const DiscTree tree = MadeUpTree(random, kFilesPerDisc);
        const std::string record = DiscBytes(id);
        wertowik::Submission submission{"chip", "/bench/" + std::to_string(d), 0, id, record, ""};
        submission.tree = &tree;
        if (catalogue.Store(submission, true).status != wertowik::StoreStatus::Stored) {
            throw std::runtime_error("not stored");
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

// What the files table and its word index take on disk, per file.
double BytesPerFile(const fs::path& file) {
    sqlite3* db = nullptr;
    double bytes = 0, files = 0;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(
                db,
                "SELECT (SELECT sum(pgsize) FROM dbstat WHERE name = 'files' OR name LIKE 'file_words%'),"
                " (SELECT count(*) FROM files)",
                -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            bytes = sqlite3_column_double(statement, 0);
            files = sqlite3_column_double(statement, 1);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return files > 0 ? bytes / files : 0;
}

void SearchFiles(benchmark::State& state, const std::string& text, std::optional<uint16_t> disc = std::nullopt) {
    Catalogue& catalogue = Shared();
    std::size_t found = 0;
    for (auto _ : state) {
        const auto hits = catalogue.SearchFiles(wertowik::FileQuery{text, disc, 51});
        found = hits.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = static_cast<double>(found);
    state.counters["bytes_per_file"] = BytesPerFile(CataloguePath());
}

void BM_FileWord(benchmark::State& state) { SearchFiles(state, "exe"); }
void BM_FileRareName(benchmark::State& state) { SearchFiles(state, "rzadki_plik.dll"); }
void BM_FilePatternByExtension(benchmark::State& state) { SearchFiles(state, "*.exe"); }
void BM_FileRarePattern(benchmark::State& state) { SearchFiles(state, "rzadki*.dll"); }
void BM_FilePatternOnOneDisc(benchmark::State& state) { SearchFiles(state, "*etup1*", 500); }
void BM_DiscPageOfItsFiles(benchmark::State& state) {
    Catalogue& catalogue = Shared();
    for (auto _ : state) {
        benchmark::DoNotOptimize(catalogue.Files(500).size());
    }
}

// A folder of 20,000 small files made into an ISO image with genisoimage (Joliet), once.
fs::path TwentyThousandFileImage() {
    const fs::path image = fs::temp_directory_path() / "wertowik-bench-20000-files.iso";
    if (fs::exists(image)) {
        return image;
    }
    const fs::path folder = fs::temp_directory_path() / "wertowik-bench-20000-files";
    fs::remove_all(folder);
    std::mt19937 random(7);
    const DiscTree tree = MadeUpTree(random, kFilesOnTheCd);
    for (std::size_t i = 0; i < tree.entries.size(); ++i) {
        const TreeEntry& entry = tree.entries[i];
        fs::path path = folder;
        for (const std::string& name : wertowik::TreePathNames(tree, i)) {
            path /= name;
        }
        if (entry.directory) {
            fs::create_directories(path);
        } else {
            std::ofstream(path) << i;
        }
    }
    const std::string command =
        "genisoimage -quiet -J -joliet-long -r -V BENCH -o '" + image.string() + "' '" + folder.string() + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("genisoimage failed");
    }
    fs::remove_all(folder);
    return image;
}

// Registering a disc from its image into a fresh catalogue, with its files walked and stored, or
// without them: the difference is what cataloguing every file costs.
void StoreCd(benchmark::State& state, bool withFiles) {
    const fs::path image = TwentyThousandFileImage();
    const fs::path file = fs::temp_directory_path() / "wertowik-bench-store.sqlite";
    std::size_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* side : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + side);
        }
        Catalogue catalogue = Catalogue::Open(file, Catalogue::Access::Write);
        state.ResumeTiming();
        auto disc = wertowik::OpenIsoDisc(image);
        DiscTree tree;
        if (withFiles) {
            tree = wertowik::WalkDisc(*disc);
        }
        const std::string record = DiscBytes(1);
        wertowik::Submission submission{"chip", image.string(), 0, 1, record, ""};
        submission.tree = withFiles ? &tree : nullptr;
        const wertowik::StoreOutcome stored = catalogue.Store(submission, true);
        if (stored.status != wertowik::StoreStatus::Stored) {
            state.SkipWithError(("not stored: " + stored.reason).c_str());
            break;
        }
        files = static_cast<std::size_t>(stored.files);
    }
    state.counters["files"] = static_cast<double>(files);
}

void BM_StoreCdWithItsFiles(benchmark::State& state) { StoreCd(state, true); }
void BM_StoreCdWithoutFiles(benchmark::State& state) { StoreCd(state, false); }

BENCHMARK(BM_StoreCdWithItsFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreCdWithoutFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileRareName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilePatternByExtension)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileRarePattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilePatternOnOneDisc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscPageOfItsFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
