// Every file of every disc in the catalogue: discs no library claims, Enter discs told apart by
// their files, `files`, searches by name and pattern, list filters, a catalogue of the previous
// format, and tables cut to the terminal's width.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "cli_runner.h"

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class DiscFilesCli : public ::testing::Test {
protected:
    std::string catalogue() const { return (dir / "c.sqlite").string(); }

    CliResult Run(std::vector<std::string> arguments, const std::vector<std::string>& environment = {}) {
        arguments.push_back("--catalogue");
        arguments.push_back(catalogue());
        return RunWertowik(arguments, environment);
    }

    CliResult Register(const fs::path& disc, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"register", disc.string(), "--no", "--json"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Run(arguments);
    }

    // A copy of the sample Enter disc with one more file, under another folder name.
    fs::path EnterTwin(const std::string& name, const std::string& extraFile) {
        fs::copy(SampleDisc("enter"), dir / name, fs::copy_options::recursive);
        WriteBytes(dir / name / extraFile, "x");
        return dir / name;
    }

    TempDir dir;
};

TEST_F(DiscFilesCli, EveryDiscIsCataloguedWithItsFilesAndEnterTwinsStayTwo) {
    const CliResult unclaimed = Register(SampleDisc("unrelated"));
    EXPECT_EQ(unclaimed.exitCode, 1) << unclaimed.err;  // still not claimed
    EXPECT_EQ(unclaimed.Json()["catalogue"]["status"], "stored-not-claimed");
    EXPECT_GT(unclaimed.Json()["catalogue"]["files"].get<int>(), 0);
    EXPECT_EQ(Register(SampleDisc("unrelated")).Json()["catalogue"]["status"], "duplicate");
    EXPECT_EQ(Register(SampleDisc("polish-names"), {"--claimed-only"}).Json()["catalogue"]["status"], "not-claimed");

    ASSERT_EQ(Register(EnterTwin("march", "marzec.txt")).exitCode, 0);
    EXPECT_EQ(Register(EnterTwin("april", "kwiecien.txt")).Json()["catalogue"]["status"], "stored");
    EXPECT_EQ(Register(dir / "march").Json()["catalogue"]["status"], "duplicate");

    const json discs = Run({"list", "--json"}).Json();
    ASSERT_EQ(discs.size(), 3u);
    EXPECT_TRUE(discs[0]["library"].is_null());
    EXPECT_TRUE(discs[0]["record"].is_null());
    EXPECT_EQ(discs[1]["library"], "enter");
    // A folder's label file stands for the label: it is neither listed nor part of the tree.
    const json files = Run({"files", "2", "--json"}).Json()["files"];
    std::set<std::string> paths;
    for (const json& file : files) {
        paths.insert(file["path"].get<std::string>());
    }
    EXPECT_EQ(paths.count("marzec.txt"), 1u);
    EXPECT_EQ(paths.count(".windows-label"), 0u);
}

TEST_F(DiscFilesCli, FilesSearchesAndFilters) {
    ASSERT_EQ(Register(SampleDisc("ks-ekspert")).exitCode, 0);
    ASSERT_EQ(Register(SampleDisc("chip-browser")).exitCode, 0);
    ASSERT_EQ(Register(SampleDisc("unrelated")).exitCode, 1);
    struct Case {
        std::vector<std::string> arguments;
        std::size_t discs, programs, files;
    };
    const std::vector<Case> cases = {
        {{"search", "*.HTM"}, 0, 0, 16},           // 14 pages (not the .html one) and two index.htm
        {{"search", "datalo/htm/*"}, 0, 0, 0},     // a pattern matches a name, not a path
        {{"search", "chip", "--files"}, 0, 0, 8},  // a whole word: not ChipS.hlp
        {{"search", "chip", "--programs"}, 0, 1, 0},
        {{"search", "chip"}, 1, 1, 8},
        {{"search", "2004"}, 2, 2, 0},  // a disc's year and a label's word; two programs' names
        {{"search", "*.exe", "--library", "tarvo"}, 0, 0, 1},
        {{"search", "?nstaluj.EXE", "--disc", "1"}, 0, 0, 1},
        {{"search", "*.exe", "--disc", "3"}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("--json");
        arguments.push_back("--limit");
        arguments.push_back("0");
        SCOPED_TRACE(arguments[1]);
        const CliResult run = Run(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.Json()["discs"].size(), c.discs);
        EXPECT_EQ(run.Json()["matches"].size(), c.programs);
        EXPECT_EQ(run.Json()["files"].size(), c.files);
    }
    const json folder = Run({"files", "1", "DATALO\\htm", "--json"}).Json()["files"];
    ASSERT_EQ(folder.size(), 15u);
    EXPECT_EQ(folder[0]["path"].get<std::string>().rfind("datalo/htm/", 0), 0u);
    EXPECT_EQ(Run({"files", "1", "no/such/folder"}).exitCode, 65);

    EXPECT_EQ(Run({"list", "--library", "none", "--json"}).Json().size(), 1u);
    EXPECT_EQ(Run({"list", "--year", "2004", "--json"}).Json().size(), 1u);
    EXPECT_EQ(Run({"list", "ekspert", "--json"}).Json().size(), 1u);
    // Cut to the terminal's width, with an ellipsis.
    const CliResult narrow = Run({"list"}, {"COLUMNS=70"});
    for (std::size_t at = 0, end; (end = narrow.out.find('\n', at)) != std::string::npos; at = end + 1) {
        std::size_t characters = 0;
        for (std::size_t i = at; i < end; ++i) {
            characters += (static_cast<unsigned char>(narrow.out[i]) & 0xC0) != 0x80;
        }
        EXPECT_LE(characters, 70u) << narrow.out;
    }
    EXPECT_NE(narrow.out.find("\xE2\x80\xA6"), std::string::npos) << narrow.out;
}

TEST_F(DiscFilesCli, ACatalogueOfThePreviousFormatIsUpgradedInPlaceByAWriterAndReadAsItIsByAReader) {
    const fs::path old = fs::path(WERTOWIK_SOURCE_DIR) / "tests" / "data" / "catalogue-format-1.sqlite";
    fs::copy_file(old, catalogue());
    ::chmod(catalogue().c_str(), 0444);
    const CliResult read = Run({"search", "jerry", "--json"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    ASSERT_EQ(read.Json()["matches"].size(), 1u);
    EXPECT_EQ(read.Json()["matches"][0]["name"], "Tom & Jerry");
    EXPECT_EQ(read.Json()["matches"][0]["description"],
              "Gra \"zr\xC3\xB3"
              "cznie\" \xC5\x82"
              "atwa");
    EXPECT_EQ(ReadBytes(catalogue()), ReadBytes(old));  // read, not changed

    ::chmod(catalogue().c_str(), 0644);
    ASSERT_EQ(Register(SampleDisc("unrelated")).exitCode, 1);
    const json discs = Run({"list", "--json"}).Json();
    ASSERT_EQ(discs.size(), 7u);  // six of before, all kept, and the new one
    EXPECT_EQ(discs[5]["name"], "Dysk & Co");
    EXPECT_EQ(discs[0]["programs"], 21);
    EXPECT_EQ(Run({"show", "1", "--json"}).Json()["entries"].size(), 21u);
    const std::string bytes = ReadBytes(catalogue());
    EXPECT_EQ(static_cast<unsigned char>(bytes[63]), 4);  // the format is kept in the file

    // A catalogue of a newer format is refused, and left as it is.
    const std::string newer = (dir / "newer.sqlite").string();
    fs::copy_file(catalogue(), newer);
    std::string changed = ReadBytes(newer);
    changed[63] = 9;
    WriteBytes(newer, changed);
    const CliResult refused = RunWertowik({"list", "--catalogue", newer});
    EXPECT_EQ(refused.exitCode, 65);
    EXPECT_NE(refused.err.find("format 9, newer than this wertowik reads"), std::string::npos) << refused.err;
}

// A disc without a name is removed under its label, or said to have no name.
TEST_F(DiscFilesCli, ADiscWithoutANameIsRemovedUnderItsLabel) {
    WriteBytes(dir / "labelled" / "index.txt", "x");
    WriteBytes(dir / "bare" / "index.txt", "y");
    ASSERT_EQ(Register(dir / "labelled", {"--label", "ETYKIETA"}).exitCode, 1);
    ASSERT_EQ(Register(dir / "bare", {"--label", ""}).exitCode, 1);
    const std::vector<std::pair<std::string, std::string>> cases{{"1", "Removed disc 1 ([ETYKIETA], 0 programs).\n"},
                                                                 {"2", "Removed disc 2 (no name, 0 programs).\n"}};
    for (const auto& [id, said] : cases) {
        const CliResult removed = Run({"remove", id}, {"LANG=C", "LC_ALL=C"});
        EXPECT_EQ(removed.exitCode, 0) << removed.err;
        EXPECT_EQ(removed.out, said);
    }
}

// A folder of the disc that cannot be listed, or can be listed but not entered, is said so: its
// files are not catalogued, and the user is told. Run as a user whom permissions stop (root is
// not stopped: it runs wertowik as nobody).
TEST(DiscFolderPermissions, AFolderThatCannotBeEnteredIsWarnedOf) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const bool root = ::geteuid() == 0;
    if (root && !fs::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "no setpriv to run wertowik as a user whom permissions stop";
    }
    struct Case {
        std::string name;
        fs::perms mode;
        bool warned;
    };
    const std::vector<Case> cases{
        {"open", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec, false},
        {"listed not entered", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read, true},
        {"entered not listed", fs::perms::owner_all | fs::perms::others_exec, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path disc = dir / c.name;
        WriteBytes(disc / "index.txt", "x");
        WriteBytes(disc / "inside" / "program.exe", "y");
        fs::permissions(disc, fs::perms::all);
        fs::permissions(disc / "index.txt", fs::perms::all);
        fs::permissions(disc / "inside" / "program.exe", fs::perms::all);
        fs::permissions(disc / "inside", c.mode);
        const std::string catalogue = (dir / (c.name + ".sqlite")).string();
        std::vector<std::string> arguments{"register", disc.string(), "--no", "--label", "X", "--catalogue", catalogue};
        if (root) {
            arguments.insert(arguments.begin(),
                             {"--reuid=65534", "--regid=65534", "--clear-groups", BuildProgram("wertowik")});
        }
        const CliResult run = root ? RunProgram("/usr/bin/setpriv", arguments) : RunWertowik(arguments);
        fs::permissions(disc / "inside", fs::perms::all);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(run.err.find((disc / "inside").string()) != std::string::npos, c.warned) << run.err;
        const CliResult files = RunWertowik({"files", "1", "--json", "--catalogue", catalogue});
        ASSERT_EQ(files.exitCode, 0) << files.err;
        EXPECT_EQ(files.Json()["files"].size(), c.warned ? 2u : 3u) << files.out;
    }
}

}  // namespace
}  // namespace wtk::test
