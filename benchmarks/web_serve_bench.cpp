// wertowik serve through its HTTP layer: a search request as the search page makes it (discs,
// programs and files, first page) and the disc page of a disc of 20,000 files (the disc with its
// programs, then its root folder), each asked 100 times over one kept-alive connection; the
// "median_ms" and "slowest_ms" counters are of those 100. The catalogue is built once through the
// same Catalogue::Store that `wertowik register` uses, in $WERTOWIK_BENCH_WEB_CATALOGUE or
// /tmp/wertowik-bench-web.sqlite: $WERTOWIK_BENCH_WEB_DISCS discs (default 1000) of 1000 programs and
// $WERTOWIK_BENCH_WEB_FILES files each (default 10000), and one more disc of 20,000 files.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include "host/catalogue/catalogue.h"
#include "host/discs/disc_tree.h"
#include "host/web/web_server.h"

namespace {

namespace fs = std::filesystem;
using wertowik::Catalogue;

constexpr int kProgramsPerDisc = 1000;
constexpr int kBigDiscFiles = 20000;
constexpr int kAsked = 100;

int Setting(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

fs::path CataloguePath() {
    const char* chosen = std::getenv("WERTOWIK_BENCH_WEB_CATALOGUE");
    return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::path("/tmp/wertowik-bench-web.sqlite");
}

std::string U16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

std::string DiscBytes(uint16_t id, const std::string& name) {
    return U16(id) + '\x05' + U16(2004) + '\x08' + "BENCH_04" + std::string(6, '\0') + std::string(4, '\0') +
           static_cast<char>(name.size()) + name;
}

std::string EntryBytes(uint16_t id, uint8_t licence, const std::string& name, const std::string& description) {
    return U16(id) + static_cast<char>(licence) + static_cast<char>(name.size()) + '\0' + '\x03' +
           U16(static_cast<uint16_t>(description.size())) + name + "1.0" + description;
}

// 8000 made-up words, each in about a thousand programs of a million.
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
    return words;
}

// Folders of 100 names; files named from the vocabulary and a few common stems.
wertowik::DiscTree Tree(std::mt19937& random, int files, int perFolder) {
    static const char* kStems[] = {"setup", "readme", "install", "program", "data", "help", "opis", "zrodlo"};
    static const char* kExtensions[] = {"exe", "txt", "dll", "htm", "jpg", "zip", "ini", "cab"};
    std::uniform_int_distribution<int> stem(0, 7), number(0, 999);
    wertowik::DiscTree tree;
    int64_t folder = -1;
    for (int i = 0; i < files; ++i) {
        wertowik::TreeEntry entry;
        if (i % perFolder == perFolder - 1) {
            entry.name = "Folder_" + std::to_string(i / perFolder);
            entry.directory = true;
            tree.entries.push_back(entry);
            folder = static_cast<int64_t>(tree.entries.size()) - 1;
            continue;
        }
        entry.parent = i < perFolder ? -1 : folder;  // the first hundreds in the root
        entry.name =
            std::string(kStems[stem(random)]) + std::to_string(number(random)) + "." + kExtensions[stem(random)];
        entry.size = number(random) * 1024;
        entry.modified = 1083000000 + number(random) * 60;
        tree.entries.push_back(std::move(entry));
    }
    tree.fingerprint = static_cast<int64_t>(random());
    return tree;
}

void Build(const fs::path& file, int discs, int files) {
    {
        Catalogue existing = Catalogue::Open(file, Catalogue::Access::Read);
        const auto there = existing.Discs();
        if (static_cast<int>(there.size()) == discs + 1 && there.back().files == kBigDiscFiles &&
            there.front().files == files) {
            return;
        }
    }
    for (const char* side : {"", "-wal", "-shm"}) {
        fs::remove(file.string() + side);
    }
    std::cerr << "Building " << discs << " discs of " << kProgramsPerDisc << " programs and " << files
              << " files, and a disc of " << kBigDiscFiles << " files, in " << file << "...\n";
    const auto words = Vocabulary();
    std::mt19937 random(2004);
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    Catalogue catalogue = Catalogue::Open(file, Catalogue::Access::Write);
    for (int d = 0; d <= discs; ++d) {
        const bool big = d == discs;
        const uint16_t id = catalogue.NextFreeId();
        std::string entries;
        for (int p = 0; p < (big ? 10 : kProgramsPerDisc); ++p) {
            std::string description;
            for (int w = 0; w < 10; ++w) {
                description += words[pick(random)] + (w == 4 && p % 10 == 0 ? " program " : " ");
            }
            entries += EntryBytes(id, static_cast<uint8_t>(p % 8), words[pick(random)] + " " + words[pick(random)],
                                  description);
        }
        const wertowik::DiscTree tree = big ? Tree(random, kBigDiscFiles, 1000) : Tree(random, files, 100);
        const std::string record = DiscBytes(id, "CHIP CD " + std::to_string(d));
        wertowik::Submission submission{"chip", "/bench/" + std::to_string(d), 0, id, record, entries, ""};
        submission.tree = &tree;
        if (catalogue.Store(submission, true).status != wertowik::StoreStatus::Stored) {
            throw std::runtime_error("not stored");
        }
    }
}

// The server on the benchmark catalogue, on a free port of 127.0.0.1, for the whole run.
struct Served {
    std::unique_ptr<wertowik::web::WebServer> server;
    std::thread thread;
    int discs = 0;

    Served() {
        discs = Setting("WERTOWIK_BENCH_WEB_DISCS", 1000);
        Build(CataloguePath(), discs, Setting("WERTOWIK_BENCH_WEB_FILES", 10000));
        server =
            std::make_unique<wertowik::web::WebServer>(wertowik::web::ServeOptions{CataloguePath(), "127.0.0.1", 0});
        thread = std::thread([this] { server->Run(); });
    }
    ~Served() {
        server->Stop();
        thread.join();
    }
};

Served& Server() {
    static Served served;
    return served;
}

// Asks each path in turn (kAsked in all) and reports the median and the slowest answer.
void Ask(benchmark::State& state, const std::function<std::vector<std::string>(int)>& paths) {
    Served& served = Server();
    httplib::Client client("127.0.0.1", served.server->port());
    client.set_keep_alive(true);
    std::vector<double> times;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& path : paths(static_cast<int>(times.size()))) {
            const auto answer = client.Get(path.c_str());
            if (!answer || answer->status != 200) {
                state.SkipWithError(("no answer to " + path).c_str());
                return;
            }
            bytes = answer->body.size();
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["slowest_ms"] = times.back();
    state.counters["last_bytes"] = static_cast<double>(bytes);
}

void BM_SearchRequest(benchmark::State& state) {
    static const auto words = Vocabulary();
    // Made-up words (each in about a thousand programs), a common word, a prefix, a file name,
    // two words: as typed into the search box.
    Ask(state, [](int i) {
        static const std::string kFixed[] = {"program", "zrodlo", "setup", "kalomi terdanpro", "kal", "readme"};
        const std::string text = i % 4 == 0 ? kFixed[(i / 4) % 6] : words[(i * 7919) % words.size()];
        return std::vector<std::string>{"/api/search?q=" + httplib::detail::encode_query_param(text)};
    });
}

void BM_DiscPageOf20000Files(benchmark::State& state) {
    const std::string disc = std::to_string(Server().discs + 1);
    Ask(state, [disc](int) {
        return std::vector<std::string>{"/disc/" + disc, "/api/disc/" + disc, "/api/disc/" + disc + "/files"};
    });
}

void BM_FolderOf1000FilesOpened(benchmark::State& state) {
    const int disc = Server().discs + 1;
    const int64_t first =
        Catalogue::Open(CataloguePath(), Catalogue::Access::Read).Disc(static_cast<uint16_t>(disc))->firstFile;
    // The big disc's folders: its 1000th, 2000th, ... entry.
    Ask(state, [disc, first](int i) {
        return std::vector<std::string>{"/api/disc/" + std::to_string(disc) +
                                        "/files?parent=" + std::to_string(first + 999 + 1000 * (i % 19))};
    });
}

BENCHMARK(BM_SearchRequest)->Iterations(kAsked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscPageOf20000Files)->Iterations(kAsked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderOf1000FilesOpened)->Iterations(kAsked)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
