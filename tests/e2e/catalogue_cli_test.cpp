// The catalogue through the wertowik command: register, list, show, search, export, remove, on a
// temporary catalogue. Discs with programs are registered by the stand-in library of
// replay/replay_plugin.cpp, which writes what the disc's replay.txt says.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <set>
#include <thread>

#include "cli_runner.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A disc folder for the stand-in library: its lines, TAB-separated, Windows-1250.
fs::path ReplayDisc(const TempDir& dir, const std::string& name, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    WriteBytes(dir / name / "replay.txt", text);
    return dir / name;
}

const std::string kZrodlo = "\x8Fr\xF3" "d\xB3o";  // Źródło, Windows-1250
const std::string kLodz = "\xA3\xF3" "d\x9F";      // Łódź

class CatalogueCli : public ::testing::Test {
protected:
    std::string catalogue() const { return (dir / "catalogue.sqlite").string(); }

    CliResult Register(const std::vector<std::string>& discs, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{"register"};
        arguments.insert(arguments.end(), discs.begin(), discs.end());
        for (const std::string& a : {std::string("--plugins"), ReplayPluginFolder().string(), std::string("--only"),
                                     std::string("chip"), std::string("--catalogue"), catalogue(),
                                     std::string("--json")}) {
            arguments.push_back(a);
        }
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunWertowik(arguments);
    }

    CliResult Catalogue(std::vector<std::string> arguments) {
        arguments.push_back("--catalogue");
        arguments.push_back(catalogue());
        return RunWertowik(arguments);
    }

    json List() {
        const CliResult run = Catalogue({"list", "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.Json();
    }

    std::vector<std::string> Found(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "search");
        arguments.push_back("--json");
        const CliResult run = Catalogue(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> names;
        const json found = run.Json();
        for (const auto& match : found["matches"]) {
            names.push_back(match["name"].get<std::string>());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    void RegisterTwoDiscs() {
        const fs::path first = ReplayDisc(dir, "first", {"disc\t13\t2005\tK\x8C Ekspert 13/05",
                                                         "entry\t2\t" + kZrodlo + " danych\t2.1\tBaza danych",
                                                         "entry\t1\t" + kLodz + " Edytor\t7.5 beta\tEdytor tekstu",
                                                         "entry\t2\tKalkulator\t\tLiczy szybko"});
        const fs::path second = ReplayDisc(dir, "second", {"disc\t5\t2004\tCHIP CD",
                                                           "entry\t5\tEdytor obraz\xF3w\t3\tZdj\xEA" "cia",
                                                           "entry\t0\tPasjans\t1\tGra w karty"});
        const CliResult run = Register({first.string(), second.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    TempDir dir;
};

TEST_F(CatalogueCli, RegisterStoresTheDiscAndItsProgramsUnderTheCataloguesIdentifier) {
    const fs::path disc = ReplayDisc(dir, "disc", {"disc\t13\t2005\tK\x8C Ekspert 13/05",
                                                    "entry\t2\t" + kZrodlo + "\t1.0\tOpis",
                                                    "entry\t0\tDrugi\t\t"});
    const CliResult run = Register({disc.string()}, {"--streams", (dir / "streams").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json report = run.Json();
    // The object keeps the shape of a single registration, with the catalogue's part added.
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["registered"]["plugin"], "chip");
    EXPECT_EQ(report["registered"]["entries"].size(), 2u);
    EXPECT_EQ(report["catalogue"]["stored"], true);
    EXPECT_EQ(report["catalogue"]["status"], "stored");
    EXPECT_EQ(report["catalogue"]["discId"], 1);
    EXPECT_EQ(report["catalogue"]["file"], catalogue());
    // The identifier the library was handed is the one it is stored under.
    EXPECT_EQ(report["registered"]["discs"][0]["discId"], 1);
    const std::string streams = ReadBytes(dir / "streams" / "entries.bin");
    ASSERT_GE(streams.size(), 2u);
    EXPECT_EQ(streams.substr(0, 2), std::string("\x01\x00", 2));

    const json list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["id"], 1);
    EXPECT_EQ(list[0]["name"], "K\xC5\x9A Ekspert 13/05");
    EXPECT_EQ(list[0]["issue"], 13);
    EXPECT_EQ(list[0]["year"], 2005);
    EXPECT_EQ(list[0]["library"], "chip");
    EXPECT_EQ(list[0]["programs"], 2);
    EXPECT_EQ(list[0]["source"], fs::canonical(disc).string());

    const CliResult shown = Catalogue({"show", "1", "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const json show = shown.Json();
    ASSERT_EQ(show["entries"].size(), 2u);
    EXPECT_EQ(show["entries"][0]["name"], "\xC5\xB9r\xC3\xB3" "d\xC5\x82o");
    EXPECT_EQ(show["entries"][0]["licenceName"], "freeware");
    EXPECT_EQ(show["entries"][1]["position"], 2);
    EXPECT_EQ(show["record"].get<std::string>().substr(0, 4), "0100");

    // And for people: tables.
    const CliResult table = Catalogue({"list"});
    EXPECT_NE(table.out.find("K\xC5\x9A Ekspert 13/05"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("13/2005"), std::string::npos);
    const CliResult showTable = Catalogue({"show", "1"});
    EXPECT_NE(showTable.out.find("\xC5\xB9r\xC3\xB3" "d\xC5\x82o"), std::string::npos) << showTable.out;
    EXPECT_NE(showTable.out.find("freeware"), std::string::npos);
}

TEST_F(CatalogueCli, SearchWithAndWithoutDiacriticsAndFilters) {
    RegisterTwoDiscs();
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> names;
    };
    const std::string zrodlo = "\xC5\xB9r\xC3\xB3" "d\xC5\x82o danych", lodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA Edytor",
                      obrazow = "Edytor obraz\xC3\xB3w";
    const std::vector<Case> cases = {
        {{"zrodlo"}, {zrodlo}},
        {{"\xC5\xBAr\xC3\xB3" "d\xC5\x82o"}, {zrodlo}},
        {{"lodz"}, {lodz}},
        {{"\xC5\x81\xC3\x93" "D\xC5\xB9"}, {lodz}},
        {{"edytor"}, {obrazow, lodz}},
        {{"edytor", "--licence", "trial"}, {obrazow}},
        {{"edytor", "--license", "TriaL"}, {obrazow}},
        {{"edytor", "--licence", "1"}, {lodz}},
        {{"edytor", "--licence", "freeware"}, {}},
        {{"edytor", "--disc", "1"}, {lodz}},
        {{"edytor", "tekstu"}, {lodz}},
        {{"zdjecia"}, {obrazow}},
        {{"karty"}, {"Pasjans"}},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.arguments) line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_EQ(Found(c.arguments), c.names);
    }
    const CliResult limited = Catalogue({"search", "edytor", "--limit", "1", "--json"});
    EXPECT_EQ(limited.Json()["matches"].size(), 1u);
    EXPECT_EQ(limited.Json()["more"], true);
    const CliResult table = Catalogue({"search", "edytor"});
    EXPECT_NE(table.out.find("2 programs."), std::string::npos) << table.out;
    const CliResult none = Catalogue({"search", "nic"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_NE(none.out.find("Nothing matches"), std::string::npos);
}

TEST_F(CatalogueCli, ExportAsJsonAndCsv) {
    RegisterTwoDiscs();
    ReplayDisc(dir, "empty", {"disc\t1\t2006\tPusta, \"p\xB3yta\""});
    ASSERT_EQ(Register({(dir / "empty").string()}).exitCode, 0);

    const CliResult asJson = Catalogue({"export", "--format", "json"});
    ASSERT_EQ(asJson.exitCode, 0) << asJson.err;
    const json exported = asJson.Json();
    ASSERT_EQ(exported["discs"].size(), 3u);
    EXPECT_EQ(exported["discs"][0]["entries"].size(), 3u);
    EXPECT_EQ(exported["discs"][1]["entries"][1]["name"], "Pasjans");
    EXPECT_EQ(exported["discs"][2]["name"], "Pusta, \"p\xC5\x82yta\"");
    EXPECT_EQ(exported["discs"][2]["entries"].size(), 0u);

    const CliResult asCsv = Catalogue({"export", "--format", "csv"});
    ASSERT_EQ(asCsv.exitCode, 0) << asCsv.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = asCsv.out.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(asCsv.out.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 1u + 3 + 2 + 1);  // header, three programs, two programs, a disc without any
    EXPECT_EQ(lines[0], "disc_id,disc_name,issue,year,label,library,source,position,licence,licence_name,name,"
                        "version,description");
    EXPECT_EQ(lines[5].substr(0, 2), "2,");
    EXPECT_NE(lines[5].find(",2,0,unspecified,Pasjans,1,Gra w karty"), std::string::npos) << lines[5];
    EXPECT_EQ(lines[6].rfind("3,\"Pusta, \"\"p\xC5\x82yta\"\"\",1,2006,,chip,", 0), 0u) << lines[6];
    EXPECT_EQ(lines[6].substr(lines[6].size() - 6), ",,,,,,");

    const CliResult bad = Catalogue({"export", "--format", "xml"});
    EXPECT_EQ(bad.exitCode, 64);
}

TEST_F(CatalogueCli, ExportIntoAFileForAPolishSpreadsheet) {
    RegisterTwoDiscs();
    ReplayDisc(dir, "empty", {"disc\t1\t2006\tPusta; \"p\xB3yta\""});
    ASSERT_EQ(Register({(dir / "empty").string()}).exitCode, 0);
    const fs::path file = dir / "katalog.csv";
    const CliResult run = Catalogue({"export", "--format", "csv", "--excel", "--output", file.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string csv = ReadBytes(file);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF" "disc_id;disc_name;issue;year;", 0), 0u) << csv.substr(0, 40);
    EXPECT_NE(csv.find("\r\n3;\"Pusta; \"\"p\xC5\x82yta\"\"\";1;2006;;chip;"), std::string::npos) << csv;
    EXPECT_NE(csv.find(";Pasjans;1;Gra w karty\r\n"), std::string::npos) << csv;

    // A failed export leaves the file that was there as it was, and nothing beside it.
    WriteBytes(dir / "broken.sqlite", std::string(4096, 'x'));
    const CliResult broken = RunWertowik(
        {"export", "--output", file.string(), "--catalogue", (dir / "broken.sqlite").string()});
    EXPECT_EQ(broken.exitCode, 65) << broken.err;
    EXPECT_EQ(ReadBytes(file), csv);
    const CliResult nowhere = Catalogue({"export", "--output", (dir / "no" / "such.json").string()});
    EXPECT_EQ(nowhere.exitCode, 73) << nowhere.err;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"broken.sqlite", "catalogue.sqlite", "catalogue.sqlite-shm",
                                            "catalogue.sqlite-wal", "empty", "first", "katalog.csv", "second"}));
    EXPECT_EQ(Catalogue({"export", "--excel"}).exitCode, 64);  // a JSON export has no such form

    // What is not a plain file is written into, never replaced.
    EXPECT_EQ(Catalogue({"export", "--output", "/dev/null"}).exitCode, 0);
    struct stat device {};
    ASSERT_EQ(::stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
}

TEST_F(CatalogueCli, RemoveTakesADiscOutAndLeavesTheRest) {
    RegisterTwoDiscs();
    const CliResult removed = Catalogue({"remove", "1", "--json"});
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.Json()["removed"], 1);
    EXPECT_EQ(removed.Json()["programs"], 3);
    const json list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["id"], 2);
    EXPECT_EQ(Found({"zrodlo"}), std::vector<std::string>{});
    EXPECT_EQ(Found({"edytor"}), std::vector<std::string>{"Edytor obraz\xC3\xB3w"});
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"remove", "1"}, {"show", "1"}, {"show", "0"}, {"remove", "x"},
                                               {"show", "65536"}}) {
        const CliResult run = Catalogue(arguments);
        EXPECT_GE(run.exitCode, 64) << arguments[0] << " " << arguments[1];
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_EQ(List().size(), 1u);
}

TEST_F(CatalogueCli, AFailedRegistrationStoresNothingAndSaysSo) {
    const fs::path disc = ReplayDisc(dir, "failing", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra", "fail"});
    const CliResult run = Register({disc.string()});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    const json report = run.Json();
    EXPECT_EQ(report["registered"]["result"], 2);
    EXPECT_EQ(report["registered"]["entries"].size(), 1u);  // written before the failure, and not stored
    EXPECT_EQ(report["catalogue"]["stored"], false);
    EXPECT_EQ(report["catalogue"]["status"], "failed");
    EXPECT_NE(run.err.find("nothing stored"), std::string::npos) << run.err;
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(Found({"pasjans"}), std::vector<std::string>{});
}

TEST_F(CatalogueCli, ARepeatedDiscIsSkippedUnlessAgain) {
    const fs::path disc = ReplayDisc(dir, "disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    ASSERT_EQ(Register({disc.string()}).exitCode, 0);
    const CliResult repeated = Register({disc.string()});
    EXPECT_EQ(repeated.exitCode, 0) << repeated.err;
    EXPECT_EQ(repeated.Json()["catalogue"]["status"], "duplicate");
    EXPECT_EQ(repeated.Json()["catalogue"]["discId"], 1);
    EXPECT_EQ(List().size(), 1u);
    const CliResult text = RunWertowik({"register", disc.string(), "--plugins", ReplayPluginFolder().string(),
                                        "--only", "chip", "--catalogue", catalogue()});
    EXPECT_NE(text.out.find("Already catalogued as disc 1"), std::string::npos) << text.out;
    const CliResult again = Register({disc.string()}, {"--again"});
    EXPECT_EQ(again.Json()["catalogue"]["status"], "stored");
    EXPECT_EQ(again.Json()["catalogue"]["discId"], 2);
    EXPECT_EQ(List().size(), 2u);
}

TEST_F(CatalogueCli, SeveralDiscsInOneCallAreReportedEachWithTheWorstExitStatus) {
    const fs::path good = ReplayDisc(dir, "good", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    const fs::path failing = ReplayDisc(dir, "failing", {"disc\t2\t2004\tCHIP CD", "fail"});
    WriteBytes(dir / "other" / "plik.txt", "nic");
    struct Case {
        std::vector<std::string> discs;
        int exitCode;
        std::vector<std::string> statuses;  // per disc: the catalogue's status, or "error"
    };
    const std::vector<Case> cases = {
        {{good.string(), (dir / "other").string()}, 1, {"stored", "stored-not-claimed"}},
        {{good.string(), failing.string()}, 2, {"duplicate", "failed"}},
        {{(dir / "missing").string(), good.string()}, 66, {"error", "duplicate"}},
        {{(dir / "other" / "plik.txt").string(), good.string()}, 65, {"error", "duplicate"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.discs[0] + " " + c.discs[1]);
        const CliResult run = Register(c.discs);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const json reports = run.Json()["discs"];
        ASSERT_TRUE(reports.is_array());
        ASSERT_EQ(reports.size(), c.discs.size());
        const json summary = run.Json()["summary"];
        EXPECT_EQ(summary["registered"].get<int>() + summary["alreadyCatalogued"].get<int>() +
                      summary["notClaimed"].get<int>() + summary["failed"].get<int>(),
                  2);
        for (std::size_t i = 0; i < c.discs.size(); ++i) {
            EXPECT_EQ(reports[i]["disc"], c.discs[i]);
            if (c.statuses[i] == "error") {
                EXPECT_EQ(reports[i]["exitCode"], c.exitCode);
                EXPECT_FALSE(reports[i]["error"].get<std::string>().empty());
            } else {
                EXPECT_EQ(reports[i]["catalogue"]["status"], c.statuses[i]);
            }
        }
    }
    EXPECT_EQ(List().size(), 2u);  // the good disc, and the other one with its files and no library
    // --streams keeps one folder per disc.
    ASSERT_EQ(Register({good.string(), failing.string()}, {"--streams", (dir / "s").string(), "--again"}).exitCode, 2);
    EXPECT_EQ(ReadBytes(dir / "s" / "1" / "discs.bin").size(), 25u + 7);
    EXPECT_EQ(ReadBytes(dir / "s" / "2" / "discs.bin").size(), 25u + 7);
}

TEST_F(CatalogueCli, TwoProcessesRegisteringAtOnceBothSucceed) {
    std::vector<fs::path> discs;
    for (int i = 0; i < 4; ++i) {
        discs.push_back(ReplayDisc(dir, "disc" + std::to_string(i),
                                   {"disc\t" + std::to_string(i + 1) + "\t2004\tDisc " + std::to_string(i),
                                    "many\t3000"}));
    }
    // A fresh catalogue: the processes also race to create it.
    std::vector<std::unique_ptr<StartedWertowik>> running;
    for (const fs::path& disc : discs) {
        running.push_back(std::make_unique<StartedWertowik>(std::vector<std::string>{
            "register", disc.string(), "--plugins", ReplayPluginFolder().string(), "--only", "chip", "--catalogue",
            catalogue(), "--quiet"}));
    }
    for (auto& process : running) {
        const CliResult run = process->Wait();
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    const json list = List();
    ASSERT_EQ(list.size(), discs.size());
    std::set<int> ids;
    for (const auto& disc : list) {
        ids.insert(disc["id"].get<int>());
        EXPECT_EQ(disc["programs"], 3000);
        // The stored record carries the identifier the disc is stored under.
        const int id = disc["id"];
        const std::string hex = disc["record"];
        EXPECT_EQ(std::stoi(hex.substr(2, 2) + hex.substr(0, 2), nullptr, 16), id);
    }
    EXPECT_EQ(ids.size(), discs.size());
    EXPECT_EQ(Found({"program", "2999", "--limit", "0"}).size(), discs.size());
}

TEST_F(CatalogueCli, AProcessKilledWhileStoringLeavesTheCatalogueAsItWas) {
    const fs::path small = ReplayDisc(dir, "small", {"disc\t1\t2004\tSmall", "entry\t2\tPasjans\t1\tGra"});
    ASSERT_EQ(Register({small.string()}).exitCode, 0);
    const fs::path big = ReplayDisc(dir, "big", {"disc\t2\t2004\tBig", "many\t400000"});
    StartedWertowik running({"register", big.string(), "--plugins", ReplayPluginFolder().string(), "--only", "chip",
                             "--catalogue", catalogue(), "--quiet"});
    // The write-ahead log grows only inside the storing transaction: once it is a few megabytes,
    // the process is in the middle of it.
    const fs::path wal = catalogue() + "-wal";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::error_code error;
    while (!(fs::exists(wal, error) && fs::file_size(wal, error) > 8u << 20) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(fs::file_size(wal, error), 8u << 20) << "the registration never reached the catalogue";
    ASSERT_EQ(::kill(running.pid(), SIGKILL), 0);
    const CliResult killed = running.Wait();
    ASSERT_EQ(killed.exitCode, 128 + SIGKILL) << "finished before it was killed";

    const json list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["name"], "Small");
    EXPECT_EQ(Found({"program"}), std::vector<std::string>{});
    EXPECT_EQ(Found({"pasjans"}), std::vector<std::string>{"Pasjans"});
    // And it takes the next registration as usual, under the next identifier.
    const fs::path next = ReplayDisc(dir, "next", {"disc\t3\t2004\tNext", "entry\t0\tNotatnik\t\t"});
    const CliResult stored = Register({next.string()});
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_EQ(stored.Json()["catalogue"]["discId"], 2);
}

TEST_F(CatalogueCli, BadCataloguesAreOneLineErrorsAndStayAsTheyWere) {
    const fs::path disc = ReplayDisc(dir, "disc", {"disc\t1\t2004\tCHIP CD", "entry\t2\tPasjans\t1\tGra"});
    const fs::path readOnly = dir / "read-only.sqlite";
    ASSERT_EQ(RunWertowik({"register", disc.string(), "--plugins", ReplayPluginFolder().string(), "--only", "chip",
                           "--catalogue", readOnly.string(), "--quiet"})
                  .exitCode,
              0);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const fs::path text = dir / "notes.txt";
    WriteBytes(text, "To nie jest katalog.\n" + std::string(4096, '.'));
    const fs::path image = SampleImage("enter");
    struct Case {
        std::string what;
        fs::path file;
        std::vector<std::string> command;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"register into a text file", text, {"register", disc.string()}, 65},
        {"register into an image", image, {"register", disc.string()}, 65},
        {"list a text file", text, {"list"}, 65},
        {"search a text file", text, {"search", "x"}, 65},
        {"register into a read-only catalogue", readOnly, {"register", disc.string(), "--again"}, 77},
        {"remove from a read-only catalogue", readOnly, {"remove", "1"}, 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = ReadBytes(c.file);
        std::vector<std::string> arguments = c.command;
        for (const std::string& a : {std::string("--catalogue"), c.file.string(), std::string("--plugins"),
                                     ReplayPluginFolder().string(), std::string("--only"), std::string("chip")}) {
            arguments.push_back(a);
        }
        if (c.command[0] != "register") {
            arguments.resize(arguments.size() - 4);
        }
        const CliResult run = RunWertowik(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_EQ(ReadBytes(c.file), before);
    }
    // A read-only catalogue is still read.
    const CliResult list = RunWertowik({"list", "--json", "--catalogue", readOnly.string()});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.Json().size(), 1u);
}

TEST_F(CatalogueCli, TheDefaultCatalogueIsInTheDataFolder) {
    const fs::path disc = ReplayDisc(dir, "disc", {"disc\t1\t2004\tCHIP CD"});
    const std::vector<std::string> registerDisc{"register", disc.string(), "--plugins", ReplayPluginFolder().string(),
                                                "--only", "chip", "--quiet"};
    ASSERT_EQ(RunWertowik(registerDisc, {"XDG_DATA_HOME=" + (dir / "xdg").string()}).exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "xdg" / "wertowik" / "catalogue.sqlite"));
    ASSERT_EQ(RunWertowik(registerDisc, {"XDG_DATA_HOME=", "HOME=" + (dir / "home").string()}).exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "home" / ".local" / "share" / "wertowik" / "catalogue.sqlite"));
    const CliResult list = RunWertowik({"list", "--json"}, {"XDG_DATA_HOME=" + (dir / "xdg").string()});
    EXPECT_EQ(list.Json().size(), 1u);
    // --no-catalogue writes none.
    ASSERT_EQ(RunWertowik({"register", disc.string(), "--plugins", ReplayPluginFolder().string(), "--only", "chip",
                           "--quiet", "--no-catalogue"},
                          {"XDG_DATA_HOME=" + (dir / "none").string()})
                  .exitCode,
              0);
    EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST_F(CatalogueCli, AGivenRecordKeepsItsIdentifierUnlessTheCatalogueHasIt) {
    const fs::path disc = ReplayDisc(dir, "disc", {"disc\t1\t2004\tCHIP CD"});
    // DiscId 0x0102, Issue 7, Year 2004, Label "enter", HostData DE AD BE EF.
    const std::string record = "0201" "07" "d407" "05656e746572" "000000000000000000" "deadbeef" "00";
    const CliResult stored = Register({disc.string()}, {"--record", record});
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_EQ(stored.Json()["registered"]["discs"][0]["discId"], 0x0102);
    EXPECT_EQ(stored.Json()["catalogue"]["discId"], 0x0102);
    EXPECT_EQ(stored.err, "");
    // The identifier is taken now: the next disc with the same record gets the next free one.
    const CliResult again = Register({disc.string()}, {"--record", record, "--again"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.Json()["registered"]["discs"][0]["discId"], 0x0103);
    EXPECT_EQ(again.Json()["catalogue"]["discId"], 0x0103);
    EXPECT_NE(again.err.find("identifier 259 (--record's 258 is taken)"), std::string::npos) << again.err;
    const CliResult bare = RunWertowik({"register", disc.string(), "--plugins", ReplayPluginFolder().string(),
                                        "--only", "chip", "--record", record, "--no-catalogue", "--json"});
    EXPECT_EQ(bare.Json()["registered"]["discs"][0]["discId"], 0x0102);
    EXPECT_TRUE(bare.Json()["catalogue"].is_null());
}

TEST_F(CatalogueCli, IssueAndYearTellDiscsWithTheSameLabelApart) {
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        std::string status;
    };
    const std::vector<Case> cases = {
        {{"--issue", "7", "--year", "2004"}, 0, "stored"},
        {{"--issue", "8", "--year", "2004"}, 0, "stored"},
        {{"--issue", "7", "--year", "2004"}, 0, "duplicate"},
        {{}, 0, "stored"},
        {{}, 0, "duplicate"},
        {{"--issue", "256"}, 64, ""},
        {{"--year", "-1"}, 64, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"register", SampleDisc("enter").string(), "--no", "--json",
                                           "--catalogue", catalogue()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const CliResult run = RunWertowik(arguments);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(run.Json()["catalogue"]["status"], c.status);
        }
    }
    const json list = List();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]["issue"], 7);
    EXPECT_EQ(list[0]["year"], 2004);
    EXPECT_EQ(list[1]["issue"], 8);
    EXPECT_EQ(list[2]["issue"], 0);
}

TEST(Help, TheToolAndEveryCommandExplainThemselves) {
    const CliResult help = RunWertowik({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"register", "list", "show", "search", "export", "remove", "decode", "plugins"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    EXPECT_NE(help.out.find("Examples"), std::string::npos);
    struct Case {
        const char* command;
        const char* mentions;
    };
    for (const Case& c : {Case{"register", "--again"}, Case{"search", "--licence"}, Case{"export", "--format"},
                          Case{"show", "ID"}, Case{"remove", "ID"}, Case{"list", "--json"}}) {
        const CliResult run = RunWertowik({c.command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << c.command;
        EXPECT_NE(run.out.find(c.mentions), std::string::npos) << c.command << ": " << run.out;
    }
}

TEST(Help, VersionAndUnknownCommands) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string says;
    };
    const std::string commands = "register, list, files, show, search, export, remove, decode, plugins";
    for (const Case& c : {Case{{"--version"}, 0, "wertowik 1."}, Case{{"-V"}, 0, "wertowik 1."},
                          Case{{"frobnicate"}, 64, "unknown command frobnicate; the commands are " + commands},
                          Case{{"--json", "lst"}, 64, "unknown command lst"}, Case{{}, 64, commands}}) {
        const CliResult run = RunWertowik(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.says;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
    }
}

TEST(Help, EachCommandShowsItsOwnExamplesAndNamesFilesAsFile) {
    const std::vector<std::string> commands{"register", "list", "files", "show",   "search",
                                            "export",   "remove", "decode", "plugins"};
    for (const std::string& command : commands) {
        const CliResult run = RunWertowik({command, "--help"});
        ASSERT_EQ(run.exitCode, 0) << command;
        const std::size_t examples = run.out.find("Examples:\n");
        ASSERT_NE(examples, std::string::npos) << command;
        EXPECT_EQ(run.out.find("Examples:", examples + 1), std::string::npos) << command << ": " << run.out;
        for (std::size_t at = run.out.find("\n  wertowik ", examples); at != std::string::npos;
             at = run.out.find("\n  wertowik ", at + 1)) {
            const std::string example = run.out.substr(at + 12, command.size() + 1);
            EXPECT_TRUE(example == command + " " || example == command + "\n") << command << ": " << run.out;
        }
        for (const char* option : {"--catalogue TEXT", "--output TEXT", "--plugins TEXT", "--streams TEXT"}) {
            EXPECT_EQ(run.out.find(option), std::string::npos) << command << ": " << option;
        }
    }
    EXPECT_NE(RunWertowik({"export", "--help"}).out.find("--output FILE"), std::string::npos);
}

TEST(Help, TheSampleGeneratorTakesNoOptionForAFolder) {
    TempDir scratch;
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    for (const Case& c : {Case{{"--help"}, 0}, Case{{"-h"}, 0}, Case{{"--out"}, 64}, Case{{}, 64},
                          Case{{"a", "b"}, 64}}) {
        const CliResult run = RunProgram(BuildProgram("wertowik-samples"), c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((run.out + run.err).find("usage: wertowik-samples OUT"), std::string::npos);
    }
    // Run inside a scratch folder, an option never becomes a folder of discs there.
    const CliResult help =
        RunProgram("/bin/sh", {"-c", "cd \"$0\" && \"$1\" --help", scratch.path().string(), BuildProgram("wertowik-samples")});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

}  // namespace
}  // namespace wtk::test
