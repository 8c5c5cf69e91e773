// wertowik against hostile discs, catalogues and surroundings: texts that would steer the terminal,
// catalogues in odd places, output that cannot be written, disks that are full.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "cli_runner.h"

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// What in a program's output no text of a disc may have put there: a control character other than
// the line feed, DEL, a C1 control (as UTF-8 or as a lone byte), a byte that is not UTF-8.
std::string Steering(const std::string& output) {
    for (std::size_t i = 0; i < output.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(output[i]);
        const unsigned char next = i + 1 < output.size() ? static_cast<unsigned char>(output[i + 1]) : 0;
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

class HostileCli : public ::testing::Test {
protected:
    // Runs wertowik with the stand-in library and the catalogue given.
    CliResult Run(std::vector<std::string> arguments, const fs::path& catalogue) {
        if (arguments[0] == "register") {
            for (const std::string& a : {std::string("--plugins"), ReplayPluginFolder().string(),
                                         std::string("--only"), std::string("chip")}) {
                arguments.push_back(a);
            }
        }
        if (!catalogue.empty()) {
            arguments.push_back("--catalogue");
            arguments.push_back(catalogue.string());
        }
        return RunWertowik(arguments);
    }

    fs::path Disc(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        WriteBytes(dir / name / "replay.txt", text);
        return dir / name;
    }

    // Runs a shell script in a mount namespace of its own (as root: it may mount a read-only view or
    // a small file system), with $0 wertowik, $1 the stand-in library's folder, $2 the test's folder;
    // nothing when this machine allows no such namespace.
    std::optional<CliResult> InPrivateMounts(const std::string& script) {
        if (::geteuid() != 0 || RunProgram("/usr/bin/unshare", {"-m", "/bin/true"}).exitCode != 0) {
            return std::nullopt;
        }
        return RunProgram("/usr/bin/unshare", {"-m", "/bin/sh", "-c", script, BuildProgram("wertowik"),
                                               ReplayPluginFolder().string(), dir.path().string()});
    }

    TempDir dir;
};

TEST_F(HostileCli, TextsOfADiscOrCatalogueNeverSteerTheTerminal) {
    // In Windows-1250, as the library writes them: a title and clipboard change, a screen clear,
    // erased lines, a cursor report whose answer would land in the shell, DEL.
    const std::string name = "Nazwa\x1B]0;tytul\x07\x1B]52;c;ZWNobw==\x07\x1B[2J";
    const std::string disc =
        Disc("disc\x1B]0;t\x07\n\xC2\x9B" "6n\xFF", {"box\tOkno\x1B]0;t\x07\tWiersz\x1B[1A\x1B[2K",
                                                    "disc\t1\t2004\t" + name,
                                                    "entry\t2\tProgram\x1B[6n\tv\x7F" "1\tOpis\x1B[31m\x1B" "c"})
            .string();
    WriteBytes(fs::path(disc) / ".windows-label", "ETYKIETA\x1B[6n");
    const fs::path catalogue = dir / "kat\x1B[2J\nalog" / "c.sqlite";
    const fs::path streams = dir / "streams";

    struct Case {
        std::vector<std::string> command;
        int exitCode;
        std::string shown;  // a part of the output that says the text was printed
    };
    const std::vector<Case> cases = {
        {{"register", disc, "--streams", streams.string()}, 0, "Nazwa\\x1b]0;tytul\\x07"},
        {{"register", disc, disc, "--again"}, 0, "disc\\x1b]0;t\\x07\\n\\u009b6n\\xff"},
        {{"list"}, 0, "Nazwa"},
        {{"show", "1"}, 0, "Program\\x1b[6n"},
        {{"search", "program"}, 0, "Opis\\x1b[31m\\x1bc"},
        {{"search", "\x1B[6n\x1B]0;x\x07zzz"}, 0, "Nothing matches"},
        {{"show", "99"}, 65, "no disc 99 in"},
        {{"remove", "3"}, 0, "Removed disc 3"},
        {{"list", "--json"}, 0, "\\u001b]0;tytul\\u0007"},
        {{"export"}, 0, "\\u001b[6n"},
        {{"decode", (streams / "discs.bin").string(), (streams / "entries.bin").string()}, 0, "v\\x7f1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command[0] + " " + (c.command.size() > 1 ? c.command[1] : ""));
        const CliResult run = Run(c.command, c.command[0] == "decode" ? fs::path() : catalogue);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(Steering(run.out), "") << run.out;
        EXPECT_EQ(Steering(run.err), "") << run.err;
        EXPECT_NE((run.out + run.err).find(c.shown), std::string::npos) << run.out << run.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        }
    }
    // JSON keeps the exact text.
    const json list = Run({"list", "--json"}, catalogue).Json();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["name"], name);
    EXPECT_EQ(list[0]["label"], "ETYKIETA\x1B[6n");
}

TEST_F(HostileCli, ACatalogueThatCannotBeWrittenIsReadAndLeftAsItWas) {
    const fs::path disc = Disc("disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    const fs::path catalogue = dir / "ro" / "c.sqlite";
    ASSERT_EQ(Run({"register", disc.string(), "--quiet"}, catalogue).exitCode, 0);
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_EQ(::chmod(catalogue.c_str(), 0444), 0);
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"list", "--json"}, {"search", "pasjans"}, {"show", "1"}, {"export"}}) {
        SCOPED_TRACE(command[0]);
        const CliResult run = Run(command, catalogue);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find(command[0] == "list" ? "CHIP CD" : "Pasjans"), std::string::npos) << run.out;
        // No side file: one made read-only beside the catalogue would keep it read-only for its owner.
        EXPECT_EQ(std::distance(fs::directory_iterator(catalogue.parent_path()), fs::directory_iterator()), 1);
    }
    ASSERT_EQ(::chmod(catalogue.c_str(), 0644), 0);
    EXPECT_EQ(Run({"register", disc.string(), "--again", "--quiet"}, catalogue).exitCode, 0);
    // On a read-only disk, and for a user who may not write in the folder.
    const std::optional<CliResult> mounted = InPrivateMounts(
        "mount --bind -o ro \"$2/ro\" \"$2/ro\" && exec \"$0\" search pasjans --catalogue \"$2/ro/c.sqlite\"");
    if (mounted) {
        EXPECT_EQ(mounted->exitCode, 0) << mounted->err;
        EXPECT_NE(mounted->out.find("Pasjans"), std::string::npos) << mounted->out;
        const CliResult other = RunProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                                BuildProgram("wertowik"), "list", "--catalogue",
                                                                catalogue.string()});
        EXPECT_EQ(other.exitCode, 0) << other.err;
        EXPECT_NE(other.out.find("CHIP CD"), std::string::npos) << other.out;
        // A catalogue file anyone may write, in a folder this user may not: read-only all the same.
        ASSERT_EQ(::chmod(catalogue.c_str(), 0666), 0);
        const CliResult store = RunProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                                BuildProgram("wertowik"), "remove", "1", "--catalogue",
                                                                catalogue.string()});
        EXPECT_EQ(store.exitCode, 77) << store.err;
    }
}

TEST_F(HostileCli, WhatIsNoCatalogueIsRefusedOnOneLineAndNothingIsCreated) {
    const fs::path disc = Disc("disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const fs::path damaged = dir / "damaged.sqlite";
    ASSERT_EQ(Run({"register", disc.string(), "--quiet"}, damaged).exitCode, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(damaged.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DROP TABLE entries", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const fs::path noIndex = dir / "no-index.sqlite";
    ASSERT_EQ(Run({"register", disc.string(), "--quiet"}, noIndex).exitCode, 0);
    ASSERT_EQ(sqlite3_open(noIndex.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DROP TABLE entry_words_data", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = ReadBytes(damaged);
    struct Case {
        std::vector<std::string> command;
        fs::path catalogue;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{"list"}, dir / "fifo", 66},
        {{"search", "pasjans"}, dir / "fifo", 66},
        {{"register", disc.string()}, dir / "fifo", 66},
        {{"list"}, "/dev/null", 66},
        {{"register", disc.string()}, "", 64},
        {{"list"}, "", 64},
        {{"remove", "1"}, dir / "new" / "c.sqlite", 65},
        {{"list"}, damaged, 65},
        {{"search", "pasjans"}, damaged, 65},
        {{"remove", "1"}, damaged, 65},
        {{"register", disc.string(), "--again"}, damaged, 65},
        {{"search", "pasjans"}, noIndex, 65},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command[0] + " " + c.catalogue.string());
        std::vector<std::string> arguments = c.command;
        if (arguments[0] == "register") {
            arguments.insert(arguments.end(), {"--plugins", ReplayPluginFolder().string(), "--only", "chip"});
        }
        arguments.insert(arguments.end(), {"--catalogue", c.catalogue.string()});
        const CliResult run = StartedWertowik(arguments).Wait(std::chrono::seconds(30));
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_FALSE(fs::exists(dir / "new"));
    EXPECT_EQ(ReadBytes(damaged), before);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

TEST_F(HostileCli, OutputThatCannotBeWrittenNeverHidesAChangeToTheCatalogue) {
    const fs::path disc = Disc("disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    const std::string catalogue = (dir / "c.sqlite").string();
    const std::vector<std::string> store{"register", disc.string(), "--plugins", ReplayPluginFolder().string(),
                                         "--only", "chip", "--catalogue", catalogue};
    const auto discs = [&] { return RunWertowik({"list", "--json", "--catalogue", catalogue}).Json().size(); };
    struct Case {
        std::vector<std::string> extra;  // after the registration's arguments, or a command of its own
        Output output;
        int exitCode;
        std::size_t discsAfter;
    };
    const std::vector<Case> cases = {
        {{}, Output::Full, 0, 1},
        {{"--again", "--json"}, Output::ClosedPipe, 0, 2},
        {{}, Output::Full, 74, 2},  // a duplicate: nothing changed
        {{"remove", "1"}, Output::Full, 0, 1},
        {{"remove", "2", "--json"}, Output::ClosedPipe, 0, 0},
        {{"list"}, Output::ClosedPipe, 74, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.extra));
        std::vector<std::string> arguments = store;
        if (!c.extra.empty() && c.extra[0] != "--again") {
            arguments = c.extra;
            arguments.insert(arguments.end(), {"--catalogue", catalogue});
        } else {
            arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        }
        const CliResult run = RunWertowikInto(c.output, arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
        EXPECT_EQ(discs(), c.discsAfter);
    }
}

TEST_F(HostileCli, AFullDiskIsAnIoErrorThatLeavesNothingBehind) {
    Disc("disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    for (const std::vector<std::string>& help : std::vector<std::vector<std::string>>{{"--help"}, {"list", "--help"}}) {
        EXPECT_EQ(RunWertowikInto(Output::Full, help).exitCode, 74) << help[0];
    }
    fs::create_directory(dir / "full");
    const std::optional<CliResult> run = InPrivateMounts(
        "mount -t tmpfs -o size=256k tmpfs \"$2/full\" || exit 9; mkdir \"$2/full/s\";"
        "head -c 1000000 /dev/zero > \"$2/full/fill\" 2>/dev/null;"
        "\"$0\" register \"$2/disc\" --plugins \"$1\" --only chip --no-catalogue --streams \"$2/full/s\" --quiet;"
        "echo \"streams $?\";"
        "\"$0\" register \"$2/disc\" --plugins \"$1\" --only chip --catalogue \"$2/full/new/c.sqlite\" --quiet;"
        "echo \"catalogue $?\"; ls -AR \"$2/full\"");
    if (run) {
        ASSERT_EQ(run->exitCode, 0) << run->err;
        EXPECT_NE(run->out.find("streams 74\ncatalogue 74\n"), std::string::npos) << run->out << run->err;
        EXPECT_EQ(run->out.find(".bin"), std::string::npos) << run->out;
        EXPECT_EQ(run->out.find("c.sqlite"), std::string::npos) << run->out;
    }
}

TEST_F(HostileCli, CsvCellsAreNeitherFormulasNorInvalidText) {
    const fs::path disc = Disc("disc \xFF\xC3", {"disc\t1\t2004\t=HYPERLINK(1)", "entry\t2\t+1\t-2\t@SUM(A1)",
                                                 "entry\t2\tPasjans\t1.0\tGra - karty\x1B[2J"});
    WriteBytes(disc / ".windows-label", "\tETYKIETA");
    const fs::path catalogue = dir / "c.sqlite";
    ASSERT_EQ(Run({"register", disc.string(), "--quiet"}, catalogue).exitCode, 0);
    const CliResult run = Run({"export", "--format", "csv"}, catalogue);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NO_THROW(json(run.out).dump()) << "not UTF-8";
    for (const std::string& cell : {",'=HYPERLINK(1),", ",'\tETYKIETA,", ",'+1,'-2,'@SUM(A1)\r\n", ",Pasjans,1.0,Gra - karty\xEF\xBF\xBD[2J\r\n",
                                    "/disc \xEF\xBF\xBD\xEF\xBF\xBD,"}) {
        EXPECT_NE(run.out.find(cell), std::string::npos) << cell << "\n" << run.out;
    }
}

TEST_F(HostileCli, AFileTooLargeToBeReadWholeFailsTheRegistrationBeforeItIsRead) {
    const fs::path small = Disc("small", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    // A sparse index of 3 GB: nothing of it may be read into memory.
    WriteBytes(dir / "large" / "replay.txt", "disc\t1\t2004\tCHIP CD\r\n");
    fs::resize_file(dir / "large" / "replay.txt", std::uintmax_t{3} << 30);
    struct Case {
        fs::path disc;
        std::vector<std::string> limit;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {dir / "large", {}, 65},
        {small, {"--max-file-size", "40"}, 65},
        {small, {"--max-file-size", "1K"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disc.string() + " " + ::testing::PrintToString(c.limit));
        std::vector<std::string> arguments{"register", c.disc.string(), "--no-catalogue", "--quiet"};
        arguments.insert(arguments.end(), c.limit.begin(), c.limit.end());
        const CliResult run = Run(arguments, {});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_LT(run.peakRssKb, 200 * 1024);
        if (c.exitCode != 0) {
            EXPECT_NE(run.err.find("replay.txt is "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("--max-file-size"), std::string::npos) << run.err;
        }
    }
}

TEST_F(HostileCli, TheIdentifierAnnouncedIsTheOneTheDiscIsStoredUnder) {
    // DiscId 0x0102, Issue 7, Year 2004, Label "enter", HostData DE AD BE EF.
    const std::string record = "0201" "07" "d407" "05656e746572" "000000000000000000" "deadbeef" "00";
    const fs::path catalogue = dir / "c.sqlite";
    ASSERT_EQ(Run({"register", Disc("first", {"disc\t1\t2004\tPierwsza"}).string(), "--record", record}, catalogue)
                  .exitCode,
              0);
    // The library of this run waits, after the identifier was chosen, while another run takes it.
    const fs::path waiting = Disc("waiting", {"box\tczekam\tczekam", "wait\tgate.txt", "disc\t2\t2004\tDruga"});
    WriteBytes(waiting / "gate.txt", "stop");
    StartedWertowik slow({"register", waiting.string(), "--record", record, "--json", "--plugins",
                          ReplayPluginFolder().string(), "--only", "chip", "--catalogue", catalogue.string()});
    for (int tries = 0; tries < 3000 && slow.ErrorsSoFar().find("czekam") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const CliResult quick = Run({"register", Disc("quick", {"disc\t3\t2004\tTrzecia"}).string(), "--json"}, catalogue);
    ASSERT_EQ(quick.exitCode, 0) << quick.err;
    EXPECT_EQ(quick.Json()["catalogue"]["discId"], 259);
    WriteBytes(waiting / "gate.txt", "go");
    const CliResult run = slow.Wait(std::chrono::seconds(120));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["catalogue"]["discId"], 260);
    EXPECT_NE(run.err.find("identifier 260 (--record's 258 is taken)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("identifier 259"), std::string::npos) << run.err;
}

TEST_F(HostileCli, AnImageWhoseRootClaimsAGigabyteTakesNoGigabyte) {
    // The root directory's size in both descriptors says 1 GB: the blocks behind its records are
    // other directories and files, which make it a damaged image, found out without taking 1 GB.
    std::string image = ReadBytes(SampleImage("enter"));
    for (const std::size_t descriptor : {16 * 2048, 17 * 2048}) {
        const std::size_t size = descriptor + 156 + 10;  // the root's record, its size both-endian
        image.replace(size, 8, std::string("\x00\x00\x00\x40\x40\x00\x00\x00", 8));
    }
    WriteBytes(dir / "large.iso", image);
    fs::resize_file(dir / "large.iso", image.size() + (std::uintmax_t{1} << 30));
    const CliResult run = RunWertowik({"register", (dir / "large.iso").string(), "--no-catalogue", "--no"});
    EXPECT_EQ(run.exitCode, 65) << run.err;
    EXPECT_LT(run.peakRssKb, 200 * 1024);
}

}  // namespace
}  // namespace wtk::test
