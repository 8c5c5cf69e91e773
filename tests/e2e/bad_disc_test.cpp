// Damaged and hostile discs through the wertowik command: folders where pages should be, pages that
// cannot be read, empty and noisy files, a very long line, odd file names and links that lead off
// the disc. Each must give the result the libraries' rules give, without a crash, within a time
// limit and within a bound on memory.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../plugins/ks_pages.h"
#include "cli_runner.h"

namespace wtk::test {
namespace {

using namespace std::string_literals;
using nlohmann::json;
namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer memory holds shadow bytes and freed blocks wait in quarantine.
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

constexpr auto kTimeLimit = std::chrono::seconds(300);
// What the host needs on any disc, besides what a disc's files take.
constexpr long kBaseMemoryKb = 64 * 1024;

const std::string kFailureTextUtf8 =
    "Wyst\xC4\x85pi\xC5\x82 b\xC5\x82\xC4\x85"
    "d. Prosz\xC4\x99 skontaktowa\xC4\x87 si\xC4\x99 z autorem.";
const std::string kLabel = "KSEKSPR0405";

class Disc {
public:
    void File(const std::string& path, const std::string& bytes = "marker") { WriteBytes(dir_ / path, bytes); }
    void Folder(const std::string& path) { fs::create_directories(dir_ / path); }
    fs::path operator/(const std::string& path) const { return dir_ / path; }
    std::string path() const { return dir_.path().string(); }

private:
    TempDir dir_;
};

// A Komputer Świat disc of either series, with its marker files and the installer.
void AddMarkers(Disc& disc, const std::string& plugin) {
    disc.File(plugin == "tarvo" ? "tarvo.ico" : "ks.ico");
    disc.File("autorun.inf");
    disc.File("instaluj.exe");
}

std::string Page(const std::string& plugin, const std::string& nameVersion, const std::string& description) {
    return plugin == "tarvo" ? ParagraphPage(nameVersion, description, "Freeware")
                             : TitlePage(nameVersion, description, "Freeware");
}

// A file of the given size: the head, then one byte repeated. Written piece by piece, so that this
// process stays small: a child's peak memory as the system reports it includes its parent's at
// the time it was started.
void WriteLongFile(const fs::path& file, const std::string& head, char fill, std::size_t size) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << head;
    const std::string piece(1u << 20, fill);
    for (std::size_t left = size - head.size(); left > 0;) {
        const std::size_t n = std::min(left, piece.size());
        out.write(piece.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    ASSERT_TRUE(out.good());
}

struct Outcome {
    CliResult cli;
    json report;
};

Outcome Register(const Disc& disc, const std::string& plugin, const std::string& label = kLabel) {
    Outcome run;
    run.cli = StartedWertowik({"register", disc.path(), "--drive", "E", "--only", plugin, "--label", label, "--json",
                               "--no-catalogue", "--no"})
                  .Wait(kTimeLimit);
    if (!run.cli.timedOut && run.cli.exitCode < 64) {
        run.report = run.cli.Json();
    }
    return run;
}

// No hang, no crash, and memory within the base plus the given multiple of the largest file.
void ExpectBounded(const Outcome& run, std::size_t largestFile = 0, long multiple = 0) {
    EXPECT_FALSE(run.cli.timedOut) << "still running after " << kTimeLimit.count() << " s";
    EXPECT_LT(run.cli.exitCode, 64) << run.cli.err;
    if (kMemoryIsMeasurable) {
        const long bound = kBaseMemoryKb + multiple * static_cast<long>(largestFile / 1024);
        EXPECT_LE(run.cli.peakRssKb, bound) << "peak memory in KiB";
    }
    ::testing::Test::RecordProperty("peak_rss_kb", static_cast<int>(run.cli.peakRssKb));
    ::testing::Test::RecordProperty("milliseconds", static_cast<int>(run.cli.seconds * 1000));
}

std::vector<std::string> EntryNames(const json& registered) {
    std::vector<std::string> names;
    for (const json& entry : registered["entries"]) {
        names.push_back(entry["name"]);
    }
    return names;
}

// A failed registration: one failure box without caption or icon, result 2, the entries before
// the failing page in the stream.
void ExpectFailedAfter(const Outcome& run, const std::vector<std::string>& entries) {
    ASSERT_EQ(run.cli.exitCode, 2) << run.cli.err;
    const json& registered = run.report["registered"];
    EXPECT_EQ(registered["result"], 2);
    ASSERT_EQ(registered["boxes"].size(), 1u);
    EXPECT_EQ(registered["boxes"][0]["text"], kFailureTextUtf8);
    EXPECT_EQ(registered["boxes"][0]["caption"], nullptr);
    EXPECT_EQ(registered["boxes"][0]["flags"], 0);
    EXPECT_EQ(registered["discs"].size(), 1u);
    EXPECT_EQ(EntryNames(registered), entries);
}

void ExpectDone(const Outcome& run, const std::vector<std::string>& entries) {
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    const json& registered = run.report["registered"];
    EXPECT_EQ(registered["result"], 0);
    EXPECT_TRUE(registered["boxes"].empty()) << registered["boxes"].dump();
    EXPECT_EQ(EntryNames(registered), entries);
}

const std::vector<std::string> kKsLibraries{"tarvo", "holvar"};

TEST(BadDisc, FolderNamedLikeAPageEndsTheImport) {
    for (const std::string& plugin : kKsLibraries) {
        SCOPED_TRACE(plugin);
        Disc disc;
        AddMarkers(disc, plugin);
        disc.File("datalo/htm/a.htm", Page(plugin, "Alfa 1.0", "Pierwszy"));
        disc.Folder("datalo/htm/b.htm");
        disc.File("datalo/htm/c.htm", Page(plugin, "Gamma 1.0", "Trzeci"));
        const Outcome run = Register(disc, plugin);
        ExpectBounded(run);
        ExpectFailedAfter(run, {"Alfa"});
    }
}

// A socket and a named pipe are on the disc but cannot be read; the pipe must not stall the host.
TEST(BadDisc, PageThatCannotBeReadEndsTheImport) {
    for (const std::string& plugin : kKsLibraries) {
        for (const std::string kind : {"pipe", "socket"}) {
            SCOPED_TRACE(plugin + " " + kind);
            Disc disc;
            AddMarkers(disc, plugin);
            disc.File("datalo/htm/a.htm", Page(plugin, "Alfa 1.0", "Pierwszy"));
            const fs::path unreadable = disc / "datalo/htm/b.htm";
            if (kind == "pipe") {
                ASSERT_EQ(::mkfifo(unreadable.c_str(), 0644), 0);
            } else {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                ASSERT_GE(fd, 0);
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                ASSERT_LT(unreadable.string().size(), sizeof address.sun_path);
                std::strcpy(address.sun_path, unreadable.c_str());
                ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
                ::close(fd);
            }
            disc.File("datalo/htm/c.htm", Page(plugin, "Gamma 1.0", "Trzeci"));
            const Outcome run = Register(disc, plugin);
            ExpectBounded(run);
            ExpectFailedAfter(run, {"Alfa"});
        }
    }
}

// A page without read permission fails the import, except for a user whom permissions do not stop
// (root, as in CI), for whom it is an ordinary page.
TEST(BadDisc, PageWithoutReadPermission) {
    Disc disc;
    AddMarkers(disc, "tarvo");
    disc.File("datalo/htm/a.htm", Page("tarvo", "Alfa 1.0", "Pierwszy"));
    disc.File("datalo/htm/b.htm", Page("tarvo", "Beta 1.0", "Drugi"));
    ASSERT_EQ(::chmod((disc / "datalo/htm/b.htm").c_str(), 0), 0);
    const bool readable = ::access((disc / "datalo/htm/b.htm").c_str(), R_OK) == 0;
    const Outcome run = Register(disc, "tarvo");
    ExpectBounded(run);
    if (readable) {
        ExpectDone(run, {"Alfa", "Beta"});
    } else {
        ExpectFailedAfter(run, {"Alfa"});
    }
}

// A link whose target is gone leads nowhere: the page is not on the disc.
TEST(BadDisc, DanglingLinkIsNoPage) {
    for (const std::string& plugin : kKsLibraries) {
        SCOPED_TRACE(plugin);
        Disc disc;
        AddMarkers(disc, plugin);
        disc.File("datalo/htm/a.htm", Page(plugin, "Alfa 1.0", "Pierwszy"));
        fs::create_symlink(disc / "datalo/htm/gone.htm", disc / "datalo/htm/b.htm");
        disc.File("datalo/htm/c.htm", Page(plugin, "Gamma 1.0", "Trzeci"));
        const Outcome run = Register(disc, plugin);
        ExpectBounded(run);
        ExpectDone(run, {"Alfa", "Gamma"});
        EXPECT_EQ(run.report["registered"]["progress"], json::array({0, 50, 100}));
    }
}

// An empty page has an empty name-and-version text in every layout, which the splitter refuses.
TEST(BadDisc, ZeroBytePageEndsTheImport) {
    struct Case {
        std::string plugin;
        bool installer;
    };
    for (const Case& c : {Case{"tarvo", true}, Case{"tarvo", false}, Case{"holvar", true}}) {
        SCOPED_TRACE(c.plugin + (c.installer ? "" : " without the installer"));
        Disc disc;
        AddMarkers(disc, c.plugin);
        if (!c.installer) {
            fs::remove(disc / "instaluj.exe");
        }
        const std::string first =
            c.installer ? Page(c.plugin, "Alfa 1.0", "Pierwszy") : DivisionPage("Alfa 1.0", "Pierwszy", "Freeware");
        disc.File("datalo/htm/a.htm", first);
        disc.File("datalo/htm/b.htm", "");
        disc.File("datalo/htm/c.htm", first);
        const Outcome run = Register(disc, c.plugin);
        ExpectBounded(run);
        ExpectFailedAfter(run, {"Alfa"});
    }
}

// Pages of random bytes: whatever the rules make of them, the import ends normally or with its
// one failure box, and the streams hold whole records.
TEST(BadDisc, PagesOfBinaryNoise) {
    for (const std::string& plugin : kKsLibraries) {
        SCOPED_TRACE(plugin);
        Disc disc;
        AddMarkers(disc, plugin);
        std::mt19937 random(20041);
        std::size_t largest = 0;
        for (int page = 0; page < 40; ++page) {
            std::string bytes(1024u << (page % 8), '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random() % 255 + 1);  // no NUL: the whole page is read
            }
            largest = std::max(largest, bytes.size());
            disc.File("datalo/htm/noise" + std::to_string(100 + page) + ".htm", bytes);
        }
        const Outcome run = Register(disc, plugin);
        ExpectBounded(run, largest, 8);
        ASSERT_TRUE(run.cli.exitCode == 0 || run.cli.exitCode == 2) << run.cli.err;
        const json& registered = run.report["registered"];
        EXPECT_EQ(registered["result"], run.cli.exitCode);
        EXPECT_EQ(registered["discsTruncatedAt"], nullptr);
        EXPECT_EQ(registered["entriesTruncatedAt"], nullptr);
        if (run.cli.exitCode == 2) {
            ASSERT_EQ(registered["boxes"].size(), 1u);
            EXPECT_EQ(registered["boxes"][0]["text"], kFailureTextUtf8);
        } else {
            EXPECT_EQ(registered["entries"].size(), 40u);
        }
    }
}

// One line of 100 MB: read whole, its description cut to the 65,535 bytes an entry can carry.
TEST(BadDisc, HundredMegabyteLineWithoutALineBreak) {
    constexpr std::size_t kLine = 100u << 20;
    Disc disc;
    AddMarkers(disc, "tarvo");
    WriteLongFile(disc / "datalo/htm/a.htm", "<html><p class=nazwa>Alfa 1.0</p><p class=opis>", 'a', kLine);
    const Outcome run = Register(disc, "tarvo");
    ExpectBounded(run, kLine, 3);
    ExpectDone(run, {"Alfa"});
    const json& entry = run.report["registered"]["entries"][0];
    EXPECT_EQ(entry["version"], "1.0");
    EXPECT_EQ(entry["description"], std::string(65535, 'a'));
}

// Page names as Linux folders hold them: UTF-8 that Windows-1250 can hold, Windows-1250 bytes
// (not UTF-8), UTF-8 that Windows-1250 cannot hold, and bytes that are neither. Every page is
// found, opened and imported.
TEST(BadDisc, PageNamesInAnyEncoding) {
    const std::vector<std::string> names{
        "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87.htm",    // zażółć, UTF-8
        "\xBF\xF3\xB3w.htm",                         // żółw, Windows-1250
        "\xE6\x97\xA5\xE6\x9C\xAC.htm",              // two CJK letters, UTF-8
        "\xFF\xFE\x81.htm",                          // neither
        "ZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86-2.HTM",  // capitals, UTF-8
    };
    for (const std::string& plugin : kKsLibraries) {
        SCOPED_TRACE(plugin);
        Disc disc;
        AddMarkers(disc, plugin);
        std::set<std::string> expected;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string name = "Program" + std::to_string(i);
            disc.File("datalo/htm/" + names[i], Page(plugin, name + " 1.0", "Opis"));
            expected.insert(name);
        }
        const Outcome run = Register(disc, plugin);
        ExpectBounded(run);
        ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
        const std::vector<std::string> found = EntryNames(run.report["registered"]);
        EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), expected);
        EXPECT_EQ(found.size(), names.size());
        EXPECT_TRUE(run.report["registered"]["boxes"].empty());
    }
}

// Links that lead off the disc are not followed: a page linked from outside, a page folder that
// is a link to another folder, the Enter contents page linked from outside. A link that stays on
// the disc is followed.
TEST(BadDisc, LinksLeadingOutOfTheDiscAreNotFollowed) {
    TempDir outside;
    WriteBytes(outside / "secret.htm", ParagraphPage("Sekret 1.0", "Spoza p\xB3yty", "Freeware"));
    WriteBytes(outside / "htm" / "obcy.htm", ParagraphPage("Obcy 1.0", "Spoza p\xB3yty", "Freeware"));

    {
        SCOPED_TRACE("page");
        Disc disc;
        AddMarkers(disc, "tarvo");
        disc.File("datalo/htm/a.htm", Page("tarvo", "Alfa 1.0", "Pierwszy"));
        fs::create_symlink(outside / "secret.htm", disc / "datalo/htm/b.htm");
        fs::create_symlink(disc / "datalo/htm/a.htm", disc / "datalo/htm/c.htm");
        const Outcome run = Register(disc, "tarvo");
        ExpectBounded(run);
        ExpectDone(run, {"Alfa", "Alfa"});
    }
    {
        SCOPED_TRACE("page folder");
        Disc disc;
        AddMarkers(disc, "tarvo");
        fs::create_symlink(outside.path(), disc / "datalo");
        const Outcome run = Register(disc, "tarvo");
        ExpectBounded(run);
        ExpectDone(run, {});
        EXPECT_EQ(run.report["registered"]["progress"], json::array({0}));
    }
    for (const std::string plugin : {"enter", "plavik"}) {
        SCOPED_TRACE(plugin + " contents page");
        Disc disc;
        fs::create_symlink(outside / "secret.htm", disc / "index.htm");
        const Outcome run = Register(disc, plugin, "enter");
        ExpectBounded(run);
        ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
        EXPECT_EQ(run.report["registered"]["result"], 1);
        EXPECT_TRUE(run.report["registered"]["boxes"].empty()) << "no question about a page off the disc";
    }
}

// The label file of a folder disc that is no plain file on the disc: a pipe (which would wait for
// a writer), a link to a device without end, a link off the disc. None is read: the label is
// empty and the run ends. A label file with a very long first line gives no more than its start.
TEST(BadDisc, LabelFileThatIsNoPlainFileOnTheDisc) {
    TempDir outside;
    WriteBytes(outside / "label", "enter\n");
    struct Case {
        const char* what;
        std::function<void(Disc&)> make;
        std::string label;
    };
    const Case cases[] = {
        {"pipe", [](Disc& disc) { ASSERT_EQ(::mkfifo((disc / ".windows-label").c_str(), 0600), 0); }, ""},
        {"device", [](Disc& disc) { fs::create_symlink("/dev/zero", disc / ".windows-label"); }, ""},
        {"off the disc", [&outside](Disc& disc) { fs::create_symlink(outside / "label", disc / ".windows-label"); },
         ""},
        {"link on the disc",
         [](Disc& disc) {
             disc.File("etykieta", "enter\r\n");
             fs::create_symlink(disc / "etykieta", disc / ".windows-label");
         },
         "enter"},
        {"long line", [](Disc& disc) { disc.File(".windows-label", "enter" + std::string(10000, 'x') + "\n"); },
         "enter" + std::string(4096 - 5, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Disc disc;
        c.make(disc);
        const CliResult run =
            StartedWertowik({"register", disc.path(), "--only", "enter", "--json", "--no-catalogue", "--no"})
                .Wait(std::chrono::seconds(30));
        ASSERT_FALSE(run.timedOut);
        ASSERT_LT(run.exitCode, 64) << run.err;
        EXPECT_EQ(run.Json()["label"], c.label);
    }
}

// A folder named like the Enter contents page is no page: no question is asked.
TEST(BadDisc, FolderNamedLikeTheContentsPage) {
    for (const std::string plugin : {"enter", "plavik"}) {
        SCOPED_TRACE(plugin);
        Disc disc;
        disc.Folder("index.htm");
        const Outcome run = Register(disc, plugin, "enter");
        ExpectBounded(run);
        ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
        EXPECT_EQ(run.report["registered"]["result"], 1);
        EXPECT_TRUE(run.report["registered"]["boxes"].empty());
    }
}

// CHIP discs: the browser layout around its index Browser/Chip.dat, the legacy layout around its
// table Tabela.dbt, with every marker file of the layout present.
const std::vector<std::string> kBrowserMarkers{
    "startuj.exe",       "start.exe",         "index.htm",        "chip-cd.ico",          "autorun.inf",
    "Browser/chip.skn",  "Browser/About.gfx", "Browser/chip.avi", "Browser/chip-cds.exe", "Browser/Chip-cd.exe",
    "Browser/setup.exe", "Browser/Chip.cnt",  "Browser/Chip.hlp", "Browser/ChipS.hlp",    "Browser/snd.dll"};
const std::vector<std::string> kLegacyMarkers{
    "autorun.exe",  "Autorun.inf",  "Chip16.exe",   "Chip16.hlp",   "chip32.exe",   "Chip32.hlp",
    "chip-cd.ico",  "Czytajto.wri", "Hierarch.dbt", "Kopiuj.hlp",   "kopiuj16.exe", "kopiuj32.exe",
    "Nviewl16.dll", "NViewLib.dll", "Obiekty.dbt",  "Xcdunz32.dll", "Xcdunzip.dll"};
const std::string kChipLabel = "CHIP_05_99";
const std::string kIndexHeader = "CHIPDAT\x1A" + std::string(36, ' ');
const std::string kIndexTrailer = "\t\tKoniec spisu tresci\t05/2004\t\r\n";
const std::string kTableHeader = "Id\tKatalog\tPlik\tRozmiar\tNumer\tTytul\tOpis\tDzial\tUwagi\tLicencja\r\n";

void AddChipMarkers(Disc& disc, const std::vector<std::string>& markers) {
    for (const std::string& file : markers) {
        disc.File(file, "MZ");
    }
}

Outcome RegisterChip(const Disc& disc) { return Register(disc, "chip", kChipLabel); }

void ExpectNothingWritten(const Outcome& run) {
    ASSERT_EQ(run.cli.exitCode, 2) << run.cli.err;
    const json& registered = run.report["registered"];
    ASSERT_EQ(registered["boxes"].size(), 1u);
    EXPECT_EQ(registered["boxes"][0]["text"], kFailureTextUtf8);
    EXPECT_EQ(registered["boxes"][0]["flags"], 0);
    EXPECT_TRUE(registered["discs"].empty());
    EXPECT_TRUE(registered["entries"].empty());
}

void ExpectNotClaimed(const Outcome& run) {
    ASSERT_EQ(run.cli.exitCode, 1) << run.cli.err;
    EXPECT_EQ(run.report["offers"][0]["answer"], 1);
    EXPECT_TRUE(run.report["offers"][0]["boxes"].empty());
}

// An index too short for its trailer: the import fails before writing anything.
TEST(BadChipDisc, ZeroByteIndex) {
    Disc disc;
    AddChipMarkers(disc, kBrowserMarkers);
    disc.File("Browser/Chip.dat", "");
    const Outcome run = RegisterChip(disc);
    ExpectBounded(run);
    ExpectNothingWritten(run);
}

// An empty table has no lines: the disc is registered without programs.
TEST(BadChipDisc, ZeroByteTable) {
    Disc disc;
    AddChipMarkers(disc, kLegacyMarkers);
    disc.File("Tabela.dbt", "");
    const Outcome run = RegisterChip(disc);
    ExpectBounded(run);
    ExpectDone(run, {});
    ASSERT_EQ(run.report["registered"]["discs"].size(), 1u);
    EXPECT_EQ(run.report["registered"]["discs"][0]["name"], "CHIP");
    EXPECT_EQ(run.report["registered"]["progress"], json::array({0}));
}

// Index and table of random bytes: whatever the rules make of them, the import ends normally or
// with its one box, and both streams hold whole records.
TEST(BadChipDisc, BinaryNoise) {
    for (const bool legacy : {false, true}) {
        for (int seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE((legacy ? "table, seed " : "index, seed ") + std::to_string(seed));
            std::mt19937 random(static_cast<unsigned>(seed));
            std::string noise(std::size_t{1} << 20, '\0');
            for (char& c : noise) {
                c = static_cast<char>(random());
            }
            Disc disc;
            AddChipMarkers(disc, legacy ? kLegacyMarkers : kBrowserMarkers);
            disc.File(legacy ? "Tabela.dbt" : "Browser/Chip.dat", noise);
            const Outcome run = RegisterChip(disc);
            ExpectBounded(run, noise.size(), 8);
            ASSERT_TRUE(run.cli.exitCode == 0 || run.cli.exitCode == 2) << run.cli.err;
            const json& registered = run.report["registered"];
            EXPECT_EQ(registered["discsTruncatedAt"], nullptr);
            EXPECT_EQ(registered["entriesTruncatedAt"], nullptr);
            EXPECT_EQ(registered["boxes"].size(), run.cli.exitCode == 2 ? 1u : 0u);
            if (!legacy) {
                EXPECT_LE(registered["entries"].size(), 1000u);
            }
        }
    }
}

// One line of 100 MB, the index's trailer at its end: one program, its description cut to the
// 65,535 bytes an entry can carry. The same line as the table's last line, without a line break.
TEST(BadChipDisc, HundredMegabyteLineWithoutALineBreak) {
    constexpr std::size_t kLine = 100u << 20;
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "table" : "index");
        Disc disc;
        AddChipMarkers(disc, legacy ? kLegacyMarkers : kBrowserMarkers);
        const fs::path file = disc / (legacy ? "Tabela.dbt" : "Browser/Chip.dat");
        const std::string head =
            legacy ? kTableHeader + "1\tPROG\tsetup.exe\t100\t5\tEdytor 1.0\t" : kIndexHeader + "1\tEdytor 1.0\t";
        WriteLongFile(file, head, 'a', kLine);
        {
            std::ofstream tail(file, std::ios::binary | std::ios::app);
            tail << (legacy ? "\tgry\t\tFreeware" : "\t05/2004\t");
        }
        const Outcome run = RegisterChip(disc);
        ExpectBounded(run, kLine, 3);
        ExpectDone(run, {"Edytor"});
        const json& entry = run.report["registered"]["entries"][0];
        EXPECT_EQ(entry["version"], "1.0");
        EXPECT_EQ(entry["description"], std::string(65535, 'a'));
        EXPECT_EQ(entry["licence"], legacy ? 2 : 0);
    }
}

// A line of a million fields: the fields the import reads are found, the rest is passed over.
TEST(BadChipDisc, MillionFieldsOnALine) {
    std::string fields;
    for (int i = 0; i < 1000000; ++i) {
        fields += "\tx";
    }
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "table" : "index");
        Disc disc;
        AddChipMarkers(disc, legacy ? kLegacyMarkers : kBrowserMarkers);
        if (legacy) {
            disc.File("Tabela.dbt", kTableHeader + "1\tPROG\tsetup.exe\t100\t5\tEdytor 1.0\tOpis\tgry\t\tShareware" +
                                        fields + "\r\n");
        } else {
            disc.File("Browser/Chip.dat", kIndexHeader + "1\tEdytor 1.0\tOpis" + fields + "\r\n" + kIndexTrailer);
        }
        const Outcome run = RegisterChip(disc);
        ExpectBounded(run, fields.size(), 8);
        ExpectDone(run, {"Edytor"});
        EXPECT_EQ(run.report["registered"]["entries"][0]["description"], "Opis");
    }
}

// An index or table that is a pipe or a socket is there but cannot be read: the browser import
// fails before writing; the legacy import has written the disc record already.
TEST(BadChipDisc, IndexOrTableThatCannotBeRead) {
    for (const bool legacy : {false, true}) {
        SCOPED_TRACE(legacy ? "table" : "index");
        Disc disc;
        AddChipMarkers(disc, legacy ? kLegacyMarkers : kBrowserMarkers);
        const fs::path file = disc / (legacy ? "Tabela.dbt" : "Browser/Chip.dat");
        ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
        const Outcome run = RegisterChip(disc);
        ExpectBounded(run);
        if (legacy) {
            ExpectFailedAfter(run, {});
            EXPECT_EQ(run.report["registered"]["discs"][0]["name"], "CHIP");
        } else {
            ExpectNothingWritten(run);
        }
    }
}

// The index or table is a folder, or a link that leads off the disc: then the disc does not
// carry its layout's files, and chip does not claim it.
TEST(BadChipDisc, IndexOrTableThatIsNoFileOnTheDisc) {
    TempDir outside;
    WriteBytes(outside / "Chip.dat", kIndexHeader + "1\tEdytor 1.0\tOpis\r\n" + kIndexTrailer);
    WriteBytes(outside / "Tabela.dbt", kTableHeader + "1\ta\tb\tc\t5\tEdytor 1.0\tOpis\tgry\t\t\r\n");
    for (const bool legacy : {false, true}) {
        for (const bool link : {false, true}) {
            SCOPED_TRACE(std::string(legacy ? "table" : "index") + (link ? " linked from outside" : " folder"));
            Disc disc;
            AddChipMarkers(disc, legacy ? kLegacyMarkers : kBrowserMarkers);
            const std::string name = legacy ? "Tabela.dbt" : "Browser/Chip.dat";
            if (link) {
                fs::create_symlink(outside / (legacy ? "Tabela.dbt" : "Chip.dat"), disc / name);
            } else {
                disc.Folder(name);
            }
            const Outcome run = RegisterChip(disc);
            ExpectBounded(run);
            ExpectNotClaimed(run);
        }
    }
}

}  // namespace
}  // namespace wtk::test
