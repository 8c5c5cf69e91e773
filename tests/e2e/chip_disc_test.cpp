// The CHIP library end to end: the sample discs of both generations through the wertowik command.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cli_runner.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

// DiscId 0x0203, Issue and Year 0, Label "PLYTA", HostData DE AD BE EF, NameLength 0.
const std::string kRecordHex = "0302" "00" "0000" "05504c595441" "000000000000000000" "deadbeef" "00";
// The same record with bytes 2 to 4 and 24 left out.
const std::string kLabelAndHostData = "\x05" "PLYTA" "\0\0\0\0\0\0\0\0\0" "\xDE\xAD\xBE\xEF"s;

const char kFailureUtf8[] =
    "Wyst\xC4\x85pi\xC5\x82 b\xC5\x82\xC4\x85" "d. Prosz\xC4\x99 skontaktowa\xC4\x87 si\xC4\x99 z autorem.";

CliResult RegisterChip(const std::filesystem::path& disc, const TempDir& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = {"register", disc.string(), "--only", "chip", "--record", kRecordHex,
                                          "--streams", out.path().string(), "--json", "--no-catalogue"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return RunWertowik(arguments);
}

using NameAndVersion = std::pair<std::string, std::string>;

std::vector<NameAndVersion> NamesAndVersions(const nlohmann::json& entries) {
    std::vector<NameAndVersion> out;
    for (const auto& entry : entries) {
        out.emplace_back(entry["name"].get<std::string>(), entry["version"].get<std::string>());
    }
    return out;
}

TEST(ChipBrowserDisc, IndexGivesTheDiscAndOneEntryPerProgramNumber) {
    TempDir out;
    const CliResult run = RegisterChip(SampleDisc("chip-browser"), out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(out / "discs.bin"), "\x03\x02\x05\xD4\x07"s + kLabelAndHostData + "\x07" "CHIP CD");

    const auto json = run.Json();
    ASSERT_EQ(json["offers"].size(), 1u);
    EXPECT_EQ(json["offers"][0]["answer"], 0);
    const auto& registered = json["registered"];
    EXPECT_EQ(registered["result"], 0);
    EXPECT_TRUE(registered["boxes"].empty());
    // Categories, the second line of number 1 and the numbers 1000, 1001, -5 and x give no entry.
    const std::vector<NameAndVersion> expected = {
        {"Notatnik", "9.0"},
        {"Kalkulator", "2.5"},
        {"Przegl\xC4\x85" "darka zdj\xC4\x99\xC4\x87", "7.54"},
        {"Mened\xC5\xBC" "er plik\xC3\xB3w ver.", "7"},
        {"Album XP SP2", ""},
        {"Album 2003", ""},
        {"Album 2003", "SP1"},
        {"S\xC5\x82ownik 2004", "1.5"},
        {"Album", "2005.1"},
        {"Zapora NT/2000/XP", "3.0"},
        {"Pakiet biurowy 2000/XP/2003", "95"},
        {"Komunikator 2000/XP", "8.0"},
        {"\xC5\x81" "amig\xC5\x82\xC3\xB3wki 95/98", "2.0"},
        {"Gry planszowe 4in1", "1.0"},
        {"Szachy 2k", "5"},
        {"Gra", "16bit"},
        {"Defragmentator 100%", "1.0"},
        {"Poradnik str. 12", ""},
        {"Czyszczenie rejestru 2.1", ""},
        {"Mp3", "2 Edytor 1.0"},
        {"Chip", ""},
    };
    EXPECT_EQ(NamesAndVersions(registered["entries"]), expected);
    for (const auto& entry : registered["entries"]) {
        EXPECT_EQ(entry["licence"], 0);
        EXPECT_EQ(entry["discId"], 0x0203);
    }
    EXPECT_EQ(registered["entries"][0]["description"], "Prosty edytor tekstu");

    // One report per line of the index (34 lines, blank ones not counted), the last 100.
    const std::vector<int> progress = registered["progress"].get<std::vector<int>>();
    ASSERT_EQ(progress.size(), 35u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // The first entries as bytes: Windows-1250 texts, licence 0.
    const std::string entries = ReadBytes(out / "entries.bin");
    const std::string firstThree =
        "\x03\x02\x00\x08\x00\x03\x14\x00" "Notatnik" "9.0" "Prosty edytor tekstu"
        "\x03\x02\x00\x0A\x00\x03\x12\x00" "Kalkulator" "2.5" "Kalkulator naukowy"
        "\x03\x02\x00\x12\x00\x04\x1C\x00" "Przegl\xB9" "darka zdj\xEA\xE6" "7.54"
        "Przegl\xB9" "danie i obr\xF3" "bka zdj\xEA\xE6"s;
    EXPECT_EQ(entries.substr(0, firstThree.size()), firstThree);
}

TEST(ChipLegacyDisc, LabelAndTableGiveTheDiscAndItsPrograms) {
    TempDir out;
    const CliResult run = RegisterChip(SampleDisc("chip-legacy"), out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(out / "discs.bin"), "\x03\x02\x05\xCF\x07"s + kLabelAndHostData + "\x04" "CHIP");

    const auto json = run.Json();
    EXPECT_EQ(json["label"], "CHIP_05_99");
    const auto& registered = json["registered"];
    EXPECT_EQ(registered["result"], 0);
    // A header and 13 lines: the divisor is 15, and 100 is never reported.
    EXPECT_EQ(registered["progress"],
              nlohmann::json::array({0, 13, 20, 26, 33, 40, 46, 53, 60, 66, 73, 80, 86, 93}));
    struct Expected {
        int licence;
        std::string name, version;
    };
    const std::vector<Expected> expected = {
        {3, "Edytor", "2.1"},
        {2, "Pakowacz", "3.0"},
        {1, "Foto", "5.5"},
        {5, "Wojna", "1.2"},
        {5, "Kostka", "2.0"},
        {4, "Ksi\xC4\x99gowo\xC5\x9B\xC4\x87 2004", ""},
        {0, "Poczta", "4.0"},      // "freeware" in small letters
        {0, "Odtwarzacz", "7.1"},  // top_ten without a licence word
        {0, "Tester", "1.0"},      // testsoft without a licence word
        {0, "Tapety 2004", ""},    // a plain entry: the whole title
        {2, "Graniczny", "1.0"},   // number 1000; 1001 before it is skipped
        {2, "Pakowacz", "3.0"},    // listed twice, written twice
    };
    const auto& entries = registered["entries"];
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i]["licence"], expected[i].licence);
        EXPECT_EQ(entries[i]["name"], expected[i].name);
        EXPECT_EQ(entries[i]["version"], expected[i].version);
    }
    const std::string bytes = ReadBytes(out / "entries.bin");
    const std::string first = "\x03\x02\x03\x06\x00\x03\x0D\x00" "Edytor" "2.1" "Edytor tekstu"s;
    EXPECT_EQ(bytes.substr(0, first.size()), first);
}

// The plain summary counts the programs and lists the first twenty as they are written, without
// keeping them: the same as the JSON report's entries, also for a table whose entries are many
// times what is held at once.
TEST(ChipDiscs, SummaryCountsAndListsWhatTheReportHolds) {
    TempDir large;
    std::filesystem::copy(SampleDisc("chip-legacy"), large.path() / "disc");
    std::string table = ReadBytes(large / "disc" / "Tabela.dbt");
    for (int i = 0; i < 6000; ++i) {
        table += std::to_string(i) + "\tprogramy\tx\tx.zip\t" + std::to_string(i % 1000) + "\tProgram" +
                 std::to_string(i) + " " + std::to_string(i % 9) + ".0\t" + std::string(100 + i % 90, 'o') +
                 "\tnarzedzia\t1\tFreeware\r\n";
    }
    WriteBytes(large / "disc" / "Tabela.dbt", table);
    for (const std::filesystem::path& disc : {SampleDisc("chip-browser"), large / "disc"}) {
        SCOPED_TRACE(disc);
        TempDir out;
        const auto entries = RegisterChip(disc, out).Json()["registered"]["entries"];
        const CliResult plain = RunWertowik({"register", disc.string(), "--only", "chip", "--no-catalogue"});
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        ASSERT_GT(entries.size(), 20u);
        std::string summary = ", " + std::to_string(entries.size()) + " programs\n";
        for (std::size_t i = 0; i < 20; ++i) {
            const std::string version = entries[i]["version"];
            summary += "  " + entries[i]["name"].get<std::string>() + (version.empty() ? "" : " " + version) + "\n";
        }
        summary += "  ... and " + std::to_string(entries.size() - 20) + " more\n";
        EXPECT_NE(plain.out.find(summary), std::string::npos) << plain.out;
    }
}

TEST(ChipLegacyDisc, LabelGivenOnTheCommandLine) {
    struct Case {
        std::string label;
        int exitCode, issue, year;
    };
    const Case cases[] = {
        {"CHIP_12_2001", 0, 12, 2001},
        {"CHIP_01_00", 0, 1, 2000},
        {"CHIP_05_80", 0, 5, 1980},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir out;
        const CliResult run = RegisterChip(SampleDisc("chip-legacy"), out, {"--label", c.label});
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        const auto json = run.Json();
        const auto& disc = json["registered"]["discs"][0];
        EXPECT_EQ(disc["issue"], c.issue);
        EXPECT_EQ(disc["year"], c.year);
        EXPECT_EQ(disc["name"], "CHIP");
    }
}

TEST(ChipLegacyDisc, LabelWithoutIssueAndYearFailsWithNothingWritten) {
    for (const std::string label : {"CHIP05", ""}) {
        SCOPED_TRACE("label '" + label + "'");
        TempDir out;
        const CliResult run = RegisterChip(SampleDisc("chip-legacy"), out, {"--label", label});
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(ReadBytes(out / "discs.bin"), "");
        EXPECT_EQ(ReadBytes(out / "entries.bin"), "");
        const auto json = run.Json();
        const auto& registered = json["registered"];
        EXPECT_EQ(registered["result"], 2);
        ASSERT_EQ(registered["boxes"].size(), 1u);
        EXPECT_EQ(registered["boxes"][0]["text"], kFailureUtf8);
        EXPECT_TRUE(registered["boxes"][0]["caption"].is_null());
        EXPECT_EQ(registered["boxes"][0]["flags"], 0);
    }
}

// A copy of the browser sample disc with its index replaced.
std::filesystem::path BrowserDiscWithIndex(const TempDir& scratch, const std::string& index) {
    const std::filesystem::path disc = scratch / "disc";
    std::filesystem::copy(SampleDisc("chip-browser"), disc, std::filesystem::copy_options::recursive);
    WriteBytes(disc / "Browser" / "Chip.dat", index);
    return disc;
}

TEST(ChipBrowserDisc, BrokenTrailerFailsWithNothingWritten) {
    const std::string header(44, 'H');
    const std::string cases[] = {
        header + "1\tEdytor 9.0\tOpis\r\nKoniec spisu CHIP CD\t05-2004\t\r\n",
        header + "1\tEdytor 9.0\tOpis\r\nKoniec spisu CHIP CD\tmaj/rok\t\r\n",
        "05/2004\t\r\n",
    };
    for (const std::string& index : cases) {
        SCOPED_TRACE(index.substr(index.size() >= 25 ? index.size() - 25 : 0));
        TempDir scratch, out;
        const CliResult run = RegisterChip(BrowserDiscWithIndex(scratch, index), out);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(ReadBytes(out / "discs.bin"), "");
        EXPECT_EQ(ReadBytes(out / "entries.bin"), "");
        const auto json = run.Json();
        const auto& registered = json["registered"];
        ASSERT_EQ(registered["boxes"].size(), 1u);
        EXPECT_EQ(registered["boxes"][0]["text"], kFailureUtf8);
        EXPECT_EQ(registered["progress"], nlohmann::json::array({0}));
    }
}

TEST(ChipBrowserDisc, EmptyTitleKeepsWhatWasWrittenBeforeIt) {
    TempDir scratch, out;
    const std::string index = std::string(44, 'H') +
                              "1\tEdytor 9.0\tOpis\r\n2\t\tBez tytulu\r\nKoniec spisu CHIP CD\t05/2004\t\r\n";
    const CliResult run = RegisterChip(BrowserDiscWithIndex(scratch, index), out);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_EQ(ReadBytes(out / "discs.bin"), "\x03\x02\x05\xD4\x07"s + kLabelAndHostData + "\x07" "CHIP CD");
    EXPECT_EQ(ReadBytes(out / "entries.bin"), "\x03\x02\x00\x06\x00\x03\x04\x00" "Edytor" "9.0" "Opis"s);
    EXPECT_EQ(run.Json()["registered"]["boxes"].size(), 1u);
}

TEST(ChipDiscs, ClaimedFirstAmongAllLibrariesAndOtherDiscsAreNot) {
    for (const std::string disc : {"chip-browser", "chip-legacy"}) {
        SCOPED_TRACE(disc);
        const CliResult run = RunWertowik({"register", SampleDisc(disc).string(), "--json", "--no-catalogue"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto json = run.Json();
        ASSERT_EQ(json["offers"].size(), 1u);
        EXPECT_EQ(json["offers"][0]["plugin"], "chip");
        EXPECT_EQ(json["registered"]["plugin"], "chip");
    }
    for (const std::string disc : {"enter", "unrelated"}) {
        SCOPED_TRACE(disc);
        const CliResult run =
            RunWertowik({"register", SampleDisc(disc).string(), "--only", "chip", "--json", "--no-catalogue"});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const auto json = run.Json();
        EXPECT_EQ(json["offers"][0]["answer"], 1);
        EXPECT_TRUE(json["offers"][0]["boxes"].empty());
    }
}

}  // namespace
}  // namespace wtk::test
