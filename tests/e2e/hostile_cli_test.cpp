// wertowik against hostile discs, catalogues and surroundings: texts that would steer the terminal,
// catalogues in odd places, output that cannot be written, full disks, sizes a disc only claims.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <thread>
#include <tuple>

#include "cli_runner.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// What no text of a disc may put into an output: a control character but the line feed, DEL, a C1
// control (in UTF-8 or as a lone byte), a byte that is not UTF-8.
std::string Steering(const std::string& output) {
    for (std::size_t i = 0; i < output.size(); ++i) {
        const unsigned char c = output[i], next = i + 1 < output.size() ? output[i + 1] : 0;
        if ((c < 0x20 && c != '\n') || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F)) {
            return "byte " + std::to_string(c) + " at " + std::to_string(i);
        }
    }
    try {
        json(output).dump();  // refuses a text that is not UTF-8
    } catch (const json::exception&) {
        return "not UTF-8";
    }
    return "";
}

const std::vector<std::string> kPasjans = {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"};

class HostileCli : public ::testing::Test {
protected:
    // wertowik, with the stand-in library for register, and the catalogue unless none is given.
    CliResult Run(std::vector<std::string> arguments, const fs::path& catalogue = {}, Output out = Output::File) {
        if (arguments[0] == "register") {
            arguments.insert(arguments.end(), {"--plugins", ReplayPluginFolder().string(), "--only", "chip"});
        }
        if (!catalogue.empty()) {
            arguments.insert(arguments.end(), {"--catalogue", catalogue.string()});
        }
        return RunWertowikInto(out, arguments);
    }

    fs::path Disc(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        WriteBytes(dir / name / "replay.txt", text);
        return dir / name;
    }

    // A catalogue that holds one disc, CHIP CD with Pasjans.
    fs::path Catalogued(const fs::path& catalogue) {
        EXPECT_EQ(Run({"register", Disc("disc", kPasjans).string(), "--quiet"}, catalogue).exitCode, 0);
        return catalogue;
    }

    // A shell script run as root in a mount namespace of its own, with $0 wertowik, $1 the stand-in
    // library's folder, $2 the test's folder; nothing where no such namespace can be had.
    std::optional<CliResult> InPrivateMounts(const std::string& script) {
        return RunInPrivateMounts(script,
                                  {BuildProgram("wertowik"), ReplayPluginFolder().string(), dir.path().string()});
    }

    TempDir dir;
};

TEST_F(HostileCli, TextsOfADiscOrCatalogueNeverSteerTheTerminal) {
    // A title and clipboard change, a screen clear, erased lines, a cursor report, DEL, C1 controls.
    const std::string name = "Nazwa\x1B]0;tytul\x07\x1B]52;c;ZWNobw==\x07\x1B[2J";
    const std::string disc = Disc(
                                 "disc\x1B]0;t\x07\n\xC2\x9B"
                                 "6n\xFF",
                                 {"box\tOkno\x1B]0;t\x07\tWiersz\x1B[1A\x1B[2K", "disc\t1\t2004\t" + name,
                                  "entry\t2\tProgram\x1B[6n\tv\x7F"
                                  "1\tOpis\x1B[31m\x1B"
                                  "c"})
                                 .string();
    WriteBytes(fs::path(disc) / ".windows-label", "ETYKIETA\x1B[6n");
    const fs::path catalogue = dir / "kat\x1B[2J\nalog" / "c.sqlite", streams = dir / "streams";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        // and what shows it printed
        {{"register", disc, "--streams", streams.string()}, "Nazwa\\x1b]0;tytul\\x07"},
        {{"register", disc, disc, "--again"}, "disc\\x1b]0;t\\x07\\n\\u009b6n\\xff"},
        {{"list"}, "Nazwa"},
        {{"show", "1"}, "Program\\x1b[6n"},
        {{"search", "program"}, "Opis\\x1b[31m\\x1bc"},
        {{"search", "\x1B[6n\x1B]0;x\x07zzz"}, "Nothing matches \"\\x1b[6n"},
        {{"show", "99"}, "no disc 99 in"},
        {{"remove", "3"}, "Removed disc 3"},
        {{"list", "--json"}, "\\u001b]0;tytul\\u0007"},
        {{"export"}, "\\u001b[6n"},
        {{"decode", (streams / "discs.bin").string(), (streams / "entries.bin").string()}, "v\\x7f1"},
    };
    for (const auto& [command, shown] : cases) {
        SCOPED_TRACE(command[0] + " " + command[1 % command.size()]);
        const CliResult run = Run(command, command[0] == "decode" ? fs::path() : catalogue);
        EXPECT_EQ(run.exitCode, command.back() == "99" ? 65 : 0) << run.err;
        EXPECT_EQ(Steering(run.out) + Steering(run.err), "") << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(shown), std::string::npos) << run.out << run.err;
    }
    const json list = Run({"list", "--json"}, catalogue).Json();  // JSON keeps the exact text
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["name"], name);
    EXPECT_EQ(list[0]["label"], "ETYKIETA\x1B[6n");
}

TEST_F(HostileCli, ACatalogueThatCannotBeWrittenIsReadAndLeftAsItWas) {
    const fs::path catalogue = Catalogued(dir / "ro" / "c.sqlite");
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_EQ(::chmod(catalogue.c_str(), 0444), 0);
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"list", "--json"}, {"search", "pasjans"}, {"show", "1"}, {"export"}}) {
        const CliResult run = Run(command, catalogue);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find(command[0] == "list" ? "CHIP CD" : "Pasjans"), std::string::npos) << run.out;
        // No side file: one made read-only beside the catalogue would keep it read-only for its owner.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ro"), {}), 1) << command[0];
    }
    ASSERT_EQ(::chmod(catalogue.c_str(), 0644), 0);
    EXPECT_EQ(Run({"register", (dir / "disc").string(), "--again", "--quiet"}, catalogue).exitCode, 0);
    // On a read-only disk; for a user who may not write in the folder (who may read, not write).
    const std::optional<CliResult> mounted = InPrivateMounts(
        "mount --bind -o ro \"$2/ro\" \"$2/ro\" && exec \"$0\" search pasjans --catalogue \"$2/ro/c.sqlite\"");
    if (mounted) {
        EXPECT_NE(mounted->out.find("Pasjans"), std::string::npos) << mounted->err;
        ASSERT_EQ(::chmod(catalogue.c_str(), 0666), 0);
        for (const auto& [command, exitCode] :
             std::vector<std::pair<std::vector<std::string>, int>>{{{"list"}, 0}, {{"remove", "1"}, 77}}) {
            std::vector<std::string> arguments{"--reuid=65534",          "--regid=65534", "--clear-groups",
                                               BuildProgram("wertowik"), "--catalogue",   catalogue.string()};
            arguments.insert(arguments.begin() + 4, command.begin(), command.end());
            const CliResult run = RunProgram("/usr/bin/setpriv", arguments);
            EXPECT_EQ(run.exitCode, exitCode) << run.err;
        }
    }
}

TEST_F(HostileCli, WhatIsNoCatalogueIsRefusedOnOneLineAndNothingIsCreated) {
    const fs::path disc = Disc("disc", kPasjans), damaged = Catalogued(dir / "damaged.sqlite"),
                   noIndex = Catalogued(dir / "no-index.sqlite");
    for (const auto& [file, table] : {std::pair(damaged, "entries"), std::pair(noIndex, "entry_words_data")}) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, (std::string("DROP TABLE ") + table).c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    const std::string before = ReadBytes(damaged);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::vector<std::tuple<std::vector<std::string>, fs::path, int>> cases = {
        {{"list"}, dir / "fifo", 66},
        {{"register", disc.string()}, dir / "fifo", 66},
        {{"list"}, "/dev/null", 66},
        {{"register", disc.string(), "--catalogue", ""}, {}, 64},
        {{"list", "--catalogue", ""}, {}, 64},
        {{"remove", "1"}, dir / "new" / "c.sqlite", 65},
        {{"list"}, damaged, 65},
        {{"remove", "1"}, damaged, 65},
        {{"register", disc.string(), "--again"}, damaged, 65},
        {{"search", "pasjans"}, noIndex, 65},
    };
    for (const auto& [command, catalogue, exitCode] : cases) {
        const CliResult run = Run(command, catalogue);
        EXPECT_EQ(run.exitCode, exitCode) << command[0] << " " << catalogue << ": " << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;  // one line
    }
    EXPECT_FALSE(fs::exists(dir / "new"));
    EXPECT_EQ(ReadBytes(damaged), before);
}

TEST_F(HostileCli, OutputThatCannotBeWrittenNeverHidesAChangeToTheCatalogue) {
    const fs::path disc = Disc("disc", kPasjans), catalogue = dir / "c.sqlite";
    const std::vector<std::tuple<std::vector<std::string>, Output, int, std::size_t>> cases = {
        {{"register", disc.string()}, Output::Full, 0, 1},
        {{"register", disc.string(), "--again", "--json"}, Output::ClosedPipe, 0, 2},
        {{"register", disc.string()}, Output::Full, 74, 2},  // a duplicate: nothing changed
        {{"remove", "1"}, Output::Full, 0, 1},
        {{"remove", "2", "--json"}, Output::ClosedPipe, 0, 0},
        {{"list"}, Output::ClosedPipe, 74, 0},
    };
    for (const auto& [command, output, exitCode, discsAfter] : cases) {
        const CliResult run = Run(command, catalogue, output);
        EXPECT_EQ(run.exitCode, exitCode) << command[0] << ": " << run.err;
        EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
        EXPECT_EQ(Run({"list", "--json"}, catalogue).Json().size(), discsAfter);
    }
}

TEST_F(HostileCli, AFullDiskIsAnIoErrorThatLeavesNothingBehind) {
    EXPECT_EQ(Run({"--help"}, {}, Output::Full).exitCode, 74);
    EXPECT_EQ(Run({"list", "--help"}, {}, Output::Full).exitCode, 74);
    Disc("disc", kPasjans);
    fs::create_directory(dir / "full");
    const std::optional<CliResult> run = InPrivateMounts(
        "W=\"$0\" P=\"$1\" D=\"$2\"; mount -t tmpfs -o size=256k tmpfs \"$D/full\" || exit 9; mkdir \"$D/full/s\";"
        "head -c 1000000 /dev/zero > \"$D/full/fill\" 2>/dev/null; w() { \"$W\" register \"$D/disc\" --plugins \"$P\" "
        "--only chip --quiet \"$@\"; }; w --no-catalogue --streams \"$D/full/s\"; echo \"streams $?\";"
        "w --catalogue \"$D/full/new/c.sqlite\"; echo \"catalogue $?\"; ls -AR \"$D/full\"");
    if (run) {
        EXPECT_NE(run->out.find("streams 74\ncatalogue 74\n"), std::string::npos) << run->out << run->err;
        EXPECT_EQ(run->out.find(".bin"), std::string::npos) << run->out;
        EXPECT_EQ(run->out.find("\nnew\n"), std::string::npos) << run->out;  // nor the folder made for it
    }
}

TEST_F(HostileCli, CsvCellsAreNeitherFormulasNorInvalidTextNorControls) {
    const fs::path disc = Disc("disc \xFF\xC3", {"disc\t1\t2004\t=HYPERLINK(1)", "entry\t2\t+1\t-2\t@SUM(A1)",
                                                 "entry\t2\tPasjans\t1.0\tGra - karty\x1B[2J"});
    WriteBytes(disc / ".windows-label", "\tETYKIETA");
    ASSERT_EQ(Run({"register", disc.string(), "--quiet"}, dir / "c.sqlite").exitCode, 0);
    const CliResult run = Run({"export", "--format", "csv"}, dir / "c.sqlite");
    EXPECT_NO_THROW(json(run.out).dump()) << "not UTF-8";
    for (const char* cell : {",'=HYPERLINK(1),", ",'\tETYKIETA,", ",'+1,'-2,'@SUM(A1)\r\n",
                             ",Pasjans,1.0,Gra - karty\xEF\xBF\xBD[2J\r\n", "/disc \xEF\xBF\xBD\xEF\xBF\xBD,"}) {
        EXPECT_NE(run.out.find(cell), std::string::npos) << cell << "\n" << run.out;
    }
}

TEST_F(HostileCli, WhatADiscOnlyClaimsTakesNoMemory) {
    WriteBytes(dir / "large" / "replay.txt", "disc\t1\t2004\tCHIP CD\r\n");
    fs::resize_file(dir / "large" / "replay.txt", std::uintmax_t{3} << 30);  // sparse
    // An image whose root directory says it is 1 GB in both descriptors: damaged, for the blocks
    // behind the root's records are other directories and files.
    std::string image = ReadBytes(SampleImage("enter"));
    for (const std::size_t size : {16 * 2048 + 166, 17 * 2048 + 166}) {  // both-endian, in the root's record
        image.replace(size, 8, std::string("\x00\x00\x00\x40\x40\x00\x00\x00", 8));
    }
    WriteBytes(dir / "large.iso", image);
    fs::resize_file(dir / "large.iso", image.size() + (std::uintmax_t{1} << 30));
    const fs::path small = Disc("small", kPasjans);
    const std::vector<std::tuple<fs::path, std::string, int, std::string>> cases = {
        // disc, limit, exit, message
        {dir / "large", "512M", 65, "replay.txt is 3221225472 bytes, more than the 536870912"},
        {small, "40", 65, "replay.txt is 44 bytes, more than the 40 a file read whole may have (--max-file-size)"},
        {small, "1K", 0, ""},
        {dir / "large.iso", "512M", 65, "no readable root directory"},
    };
    for (const auto& [disc, limit, exitCode, message] : cases) {
        const CliResult run = Run({"register", disc.string(), "--no-catalogue", "--quiet", "--max-file-size", limit});
        EXPECT_EQ(run.exitCode, exitCode) << disc << ": " << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_LT(run.peakRssKb, 200 * 1024) << disc;
    }
}

TEST_F(HostileCli, TheIdentifierAnnouncedIsTheOneTheDiscIsStoredUnder) {
    // DiscId 0x0102, Issue 7, Year 2004, Label "enter", HostData DE AD BE EF.
    const std::string record =
        "0201"
        "07"
        "d407"
        "05656e746572"
        "000000000000000000"
        "deadbeef"
        "00";
    const fs::path catalogue = dir / "c.sqlite";
    ASSERT_EQ(
        Run({"register", Disc("first", {"disc\t1\t2004\tPierwsza"}).string(), "--record", record}, catalogue).exitCode,
        0);
    // This run's library waits, after the identifier was chosen, while another run takes it.
    const fs::path waiting = Disc("waiting", {"box\tczekam\tczekam", "wait\tgate.txt", "disc\t2\t2004\tDruga"});
    WriteBytes(waiting / "gate.txt", "stop");
    StartedWertowik slow({"register", waiting.string(), "--record", record, "--json", "--plugins",
                          ReplayPluginFolder().string(), "--only", "chip", "--catalogue", catalogue.string()});
    for (int tries = 0; tries < 3000 && slow.ErrorsSoFar().find("czekam") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const CliResult quick = Run({"register", Disc("quick", {"disc\t3\t2004\tTrzecia"}).string(), "--json"}, catalogue);
    EXPECT_EQ(quick.Json()["catalogue"]["discId"], 259);
    WriteBytes(waiting / "gate.txt", "go");
    const CliResult run = slow.Wait(std::chrono::seconds(120));
    EXPECT_EQ(run.Json()["catalogue"]["discId"], 260);
    EXPECT_NE(run.err.find("identifier 260 (--record's 258 is taken)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("identifier 259"), std::string::npos) << run.err;
}

// What a wertowik killed while it made a new catalogue left beside it (the catalogue under its
// making and its journal) is removed by the next one that writes there, when its process is gone.
TEST_F(HostileCli, WhatAKilledRegistrationLeftBesideTheCatalogueIsRemoved) {
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(::getpid());
    const std::vector<std::pair<std::string, bool>> files{
        // and whether it stays
        {".wertowik-new-" + dead, false},
        {".wertowik-new-" + dead + "-journal", false},
        {".wertowik-new-" + dead + "-wal", false},
        {".wertowik-new-" + alive, true},  // its process still runs
        {".wertowik-new-" + alive + "-journal", true},
        {".wertowik-new-x" + dead, true},
        {"wertowik-new-" + dead, true},
    };
    const fs::path disc = Disc("pasjans", kPasjans);
    for (const bool catalogueThere : {false, true}) {
        SCOPED_TRACE(catalogueThere ? "into a catalogue made before" : "into a new catalogue");
        for (const auto& [name, stays] : files) {
            WriteBytes(dir / "catalogue" / name, "SQLite format 3");
        }
        const CliResult run = Run({"register", disc.string(), "--again"}, dir / "catalogue" / "c.sqlite");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const auto& [name, stays] : files) {
            EXPECT_EQ(fs::exists(dir / "catalogue" / name), stays) << name;
        }
        EXPECT_TRUE(fs::exists(dir / "catalogue" / "c.sqlite"));
    }
}

}  // namespace
}  // namespace wtk::test
