// The Komputer Świat libraries end to end through the wertowik command, on discs written here
// and on the sample discs of the build.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../plugins/ks_pages.h"
#include "cli_runner.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;
using nlohmann::json;

const std::string kFailureTextUtf8 =
    "Wyst\xC4\x85pi\xC5\x82 b\xC5\x82\xC4\x85" "d. Prosz\xC4\x99 skontaktowa\xC4\x87 si\xC4\x99 z autorem.";

// A disc folder in a temporary directory.
class Disc {
public:
    void File(const std::string& path, const std::string& bytes = "marker") { WriteBytes(dir_ / path, bytes); }
    void Folder(const std::string& path) { std::filesystem::create_directories(dir_ / path); }
    void Page(const std::string& name, const std::string& bytes) { File("datalo/htm/" + name, bytes); }
    std::string path() const { return dir_.path().string(); }

private:
    TempDir dir_;
};

struct Outcome {
    CliResult cli;
    json report;
    std::string discs;
    std::string entries;
};

// register DISC --drive E --label LABEL --only PLUGIN --streams OUT --json --no-catalogue
Outcome Register(const std::string& disc, const std::string& plugin, const std::string& label = "") {
    TempDir out;
    std::vector<std::string> arguments{"register", disc, "--drive", "E", "--only", plugin, "--streams",
                                       out.path().string(), "--json", "--no-catalogue", "--no"};
    if (!label.empty()) {
        arguments.insert(arguments.end(), {"--label", label});
    }
    Outcome run;
    run.cli = RunWertowik(arguments);
    run.report = run.cli.Json();
    if (std::filesystem::exists(out / "discs.bin")) {
        run.discs = ReadBytes(out / "discs.bin");
        run.entries = ReadBytes(out / "entries.bin");
    }
    return run;
}

json Progress(std::initializer_list<int> values) { return json(std::vector<int>(values)); }

void AddEkspertMarkers(Disc& disc, bool installer) {
    disc.File("tarvo.ico");
    disc.File("autorun.inf");
    if (installer) {
        disc.File("instaluj.exe");
    }
}

void AddNiezbednikMarkers(Disc& disc) {
    disc.File("ks.ico");
    disc.File("autorun.inf");
    disc.File("instaluj.exe");
}

TEST(KsDiscEndToEnd, DiscNameAndYearFromTheLabel) {
    struct Case {
        const char* plugin;
        std::string discBytes;
        int nameLength;
    };
    const Case cases[] = {
        {"tarvo", "\x01\x00\x0D\xD5\x07\x0B"s "KSEKSPR0405" "\0\0\0" "\0\0\0\0"s "\x10" "K\x8C Ekspert 04/05", 16},
        {"holvar",
         "\x01\x00\x0D\xD5\x07\x0B"s "KSEKSPR0405" "\0\0\0" "\0\0\0\0"s "\x18" "K\x8C Tw\xF3j Niezb\xEA" "dnik 04/05",
         24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin);
        Disc disc;
        AddEkspertMarkers(disc, true);
        AddNiezbednikMarkers(disc);
        disc.Folder("datalo/htm");
        const Outcome run = Register(disc.path(), c.plugin, "KSEKSPR0405");
        ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
        EXPECT_EQ(run.discs, c.discBytes);
        EXPECT_EQ(run.entries, "");
        const json& registered = run.report["registered"];
        EXPECT_EQ(registered["plugin"], c.plugin);
        EXPECT_EQ(registered["result"], 0);
        EXPECT_EQ(registered["progress"], Progress({0}));
        EXPECT_EQ(registered["discs"][0]["year"], 2005);
        EXPECT_EQ(registered["discs"][0]["issue"], 13);
        EXPECT_EQ(registered["discs"][0]["nameLength"], c.nameLength);
    }
}

TEST(KsDiscEndToEnd, ThreePagesWithTheInstallerHeadPageIncluded) {
    Disc disc;
    AddEkspertMarkers(disc, true);
    disc.Page("a.htm", ParagraphPage("Foo 1.0", "A tool.", "Freeware"));
    disc.Page("b.htm", ParagraphPage("Bar v2", "Opis", "GPL"));
    disc.Page("head.htm", ParagraphPage("Spis 2005", "Nag\xB3\xF3wek", ""));
    const Outcome run = Register(disc.path(), "tarvo", "KSEKSPR0405");
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    EXPECT_EQ(run.report["registered"]["progress"], Progress({0, 33, 66, 100}));
    EXPECT_EQ(run.entries,
              "\x01\x00\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool."
              "\x01\x00\x06\x03\x00\x01\x04\x00"s "Bar2Opis"
              "\x01\x00\x00\x09\x00\x00\x08\x00"s "Spis 2005Nag\xB3\xF3wek");
}

TEST(KsDiscEndToEnd, FivePagesTwoSkippedWithoutTheInstaller) {
    Disc disc;
    AddEkspertMarkers(disc, false);
    disc.Page("a.htm", DivisionPage("Alfa 1.0", "Pierwszy", "Shareware"));
    disc.Page("head.htm", DivisionPage("Head 1.0", "Nie", "demo"));
    disc.Page("HELP.HTM", DivisionPage("Help 1.0", "Nie", "demo"));
    disc.Page("opis.html", DivisionPage("Beta v3", "Drugi \xB6wiat", "DEMO"));
    disc.Page("z.htm", DivisionPage("Gamma 2000/XP 8.0", "Trzeci", "gpl"));
    const Outcome run = Register(disc.path(), "tarvo", "KSEKSPR0405");
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    EXPECT_EQ(run.report["registered"]["progress"], Progress({0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(run.entries,
              "\x01\x00\x01\x04\x00\x03\x08\x00"s "Alfa1.0Pierwszy"
              "\x01\x00\x03\x04\x00\x01\x0B\x00"s "Beta3Drugi \x9Cwiat"
              "\x01\x00\x06\x0D\x00\x03\x06\x00"s "Gamma 2000/XP8.0Trzeci");
}

TEST(KsDiscEndToEnd, LabelShorterThanTenCharactersFailsWithNothingWritten) {
    for (const char* plugin : {"tarvo", "holvar"}) {
        SCOPED_TRACE(plugin);
        Disc disc;
        AddEkspertMarkers(disc, true);
        AddNiezbednikMarkers(disc);
        disc.Page("a.htm", TitlePage("Foo 1.0", "Opis", "freeware"));
        const Outcome run = Register(disc.path(), plugin, "KSEKSPR04");
        EXPECT_EQ(run.cli.exitCode, 2);
        EXPECT_EQ(run.discs, "");
        EXPECT_EQ(run.entries, "");
        const json& registered = run.report["registered"];
        EXPECT_EQ(registered["result"], 2);
        EXPECT_EQ(registered["progress"], Progress({0}));
        ASSERT_EQ(registered["boxes"].size(), 1u);
        EXPECT_EQ(registered["boxes"][0]["text"], kFailureTextUtf8);
        EXPECT_EQ(registered["boxes"][0]["caption"], nullptr);
        EXPECT_EQ(registered["boxes"][0]["flags"], 0);
    }
}

TEST(KsDiscEndToEnd, EmptyNameFailsAfterTheEntriesBeforeIt) {
    Disc disc;
    AddNiezbednikMarkers(disc);
    disc.Page("a.htm", TitlePage("Foo 1.0", "Opis", "freeware"));
    disc.Page("b.htm", TitlePage("", "Bez nazwy", "freeware"));
    disc.Page("c.htm", TitlePage("Bar 1.0", "Nigdy", "freeware"));
    const Outcome run = Register(disc.path(), "holvar", "KSNIEZB0607");
    EXPECT_EQ(run.cli.exitCode, 2);
    EXPECT_EQ(run.discs, "\x01\x00\x0D\xD7\x07\x0B"s "KSNIEZB0607" "\0\0\0" "\0\0\0\0"s "\x18"
                         "K\x8C Tw\xF3j Niezb\xEA" "dnik 06/07");
    EXPECT_EQ(run.entries, "\x01\x00\x02\x03\x00\x03\x04\x00"s "Foo1.0Opis");
    EXPECT_EQ(run.report["registered"]["progress"], Progress({0, 33, 66}));
    ASSERT_EQ(run.report["registered"]["boxes"].size(), 1u);
    EXPECT_EQ(run.report["registered"]["boxes"][0]["text"], kFailureTextUtf8);
}

TEST(KsDiscEndToEnd, FolderNamedLikeAPageFailsCleanly) {
    Disc disc;
    AddEkspertMarkers(disc, true);
    disc.Page("a.htm", ParagraphPage("Foo 1.0", "A tool.", "Freeware"));
    disc.Folder("datalo/htm/x.htm");
    disc.Page("y.htm", ParagraphPage("Bar 1.0", "Nigdy", "Freeware"));
    const Outcome run = Register(disc.path(), "tarvo", "KSEKSPR0405");
    EXPECT_EQ(run.cli.exitCode, 2);
    EXPECT_EQ(run.entries, "\x01\x00\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool.");
    EXPECT_EQ(run.report["registered"]["progress"], Progress({0, 33, 66}));
    ASSERT_EQ(run.report["registered"]["boxes"].size(), 1u);
    EXPECT_EQ(run.report["registered"]["boxes"][0]["text"], kFailureTextUtf8);
}

TEST(KsDiscEndToEnd, NiezbednikNeedsTheInstaller) {
    Disc disc;
    disc.File("ks.ico");
    disc.File("autorun.inf");
    disc.Page("a.htm", TitlePage("Foo 1.0", "Opis", "freeware"));
    const Outcome run = Register(disc.path(), "holvar", "KSNIEZB0607");
    EXPECT_EQ(run.cli.exitCode, 1);
    EXPECT_EQ(run.report["offers"][0]["plugin"], "holvar");
    EXPECT_EQ(run.report["offers"][0]["answer"], 1);
    EXPECT_EQ(run.report["registered"], nullptr);
}

TEST(KsDiscEndToEnd, DiscWithBothSeriesMarkersIsClaimedByBoth) {
    Disc disc;
    AddEkspertMarkers(disc, true);
    AddNiezbednikMarkers(disc);
    for (const char* plugin : {"tarvo", "holvar"}) {
        SCOPED_TRACE(plugin);
        const Outcome run = Register(disc.path(), plugin, "KSEKSPR0405");
        EXPECT_EQ(run.cli.exitCode, 0) << run.cli.err;
        EXPECT_EQ(run.report["offers"][0]["answer"], 0);
        EXPECT_EQ(run.report["registered"]["plugin"], plugin);
    }
}

// The sample discs: every entry, walked out of the raw entry stream.
struct Entry {
    int licence;
    std::string name;
    std::string version;
    std::string description;
    bool operator==(const Entry&) const = default;
};

void PrintTo(const Entry& e, std::ostream* out) {
    *out << int(e.licence) << " [" << e.name << "] [" << e.version << "] [" << e.description << "]";
}

std::vector<Entry> WalkEntries(const std::string& bytes, uint16_t discId) {
    std::vector<Entry> entries;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) {
            ADD_FAILURE() << "entry stream ends inside a header at " << at;
            break;
        }
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
        EXPECT_EQ(byte(0) | byte(1) << 8, discId);
        EXPECT_EQ(byte(4), 0) << "reserved byte";
        const std::size_t name = byte(3), version = byte(5), description = byte(6) | byte(7) << 8;
        if (bytes.size() - at - 8 < name + version + description) {
            ADD_FAILURE() << "entry stream ends inside the texts of the entry at " << at;
            break;
        }
        const std::size_t texts = at + 8;
        entries.push_back(Entry{byte(2), bytes.substr(texts, name), bytes.substr(texts + name, version),
                                bytes.substr(texts + name + version, description)});
        at = texts + name + version + description;
    }
    return entries;
}

// The programs every sample disc carries, in name order, as the catalogue receives them.
const std::vector<Entry> kSamplePrograms{
    {5, "Archiwizer", "5.01", "Kompresja plik\xF3w ZIP i RAR."},
    {4, "Pakiet Biurowy 2000/XP", "7.0", "Edytor tekstu, arkusz kalkulacyjny i prezentacje."},
    {3, "FotoLab 2004", "1.5", "Obr\xF3" "bka zdj\xEA\xE6 cyfrowych."},
    {2, "Instalator", "1.0", "program"},
    {5, "Ksi\xEAgowo\x9C\xE6 Firmy 4in1", "2.3", "Ewidencja przychod\xF3w i rozchod\xF3w."},
    {2, "Kulki 95/98", "1.4", "Gra logiczna: u\xB3\xF3\xBF kulki w rz\xEA" "dy."},
    {6, "Narz\xEA" "dzia sieciowe", "0.9.7", "Zestaw program\xF3w do diagnostyki sieci."},
    {1, "Notatnik Plus", "3.2", "Prosty edytor tekstu z pod\x9Cwietlaniem sk\xB3" "adni."},
    {7, "Pogoda na pulpicie", "2.0", "Prognoza pogody dla ca\xB3" "ego \x9Cwiata."},
    {4, "S\xB3ownik angielsko-polski", "2.0", "\x8Cwietny s\xB3ownik z wymow\xB9."},
    {0, "Tapety \x8Cwi\xB9teczne", "", "Zestaw tapet na pulpit."},
    {3, "Wy\x9C" "cigi", "3D 1.0", "Demo gry wy\x9C" "cigowej."},
    {0, "Zegar atomowy", "1.2", "Synchronizacja czasu z serwerem."},
};

const json kProgramBox = {{"text", "program"}, {"caption", "instalator.htm>Instalator 1.0"}, {"flags", 0},
                          {"owned", false},    {"answer", 1}};

const json kEighteenPages =
    Progress({0, 5, 11, 16, 22, 27, 33, 38, 44, 50, 55, 61, 66, 72, 77, 83, 88, 94, 100});

TEST(KsSampleDiscs, EkspertWithTheInstaller) {
    const Outcome run = Register(SampleDisc("ks-ekspert").string(), "tarvo");
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    EXPECT_EQ(run.discs,
              "\x01\x00\x0D\xD5\x07\x0B"s "KS_EKSP0405" "\0\0\0" "\0\0\0\0"s "\x10" "K\x8C Ekspert 04/05");
    // head.htm and help.htm are program pages on these discs.
    std::vector<Entry> expected = kSamplePrograms;
    expected.insert(expected.begin() + 3, {{0, "Komputer \x8Cwiat Ekspert", "4/2005", "Spis tre\x9C" "ci p\xB3yty."},
                                           {2, "Pomoc", "1.0", "Jak korzysta\xE6 z p\xB3yty."}});
    EXPECT_EQ(WalkEntries(run.entries, 1), expected);
    const json& registered = run.report["registered"];
    EXPECT_EQ(registered["progress"], Progress({0, 6, 13, 20, 26, 33, 40, 46, 53, 60, 66, 73, 80, 86, 93, 100}));
    EXPECT_EQ(registered["boxes"], json::array({kProgramBox}));
}

TEST(KsSampleDiscs, EkspertWithoutTheInstaller) {
    const Outcome run = Register(SampleDisc("ks-ekspert-no-installer").string(), "tarvo");
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    EXPECT_EQ(run.discs,
              "\x01\x00\x0D\xD5\x07\x0B"s "KS_EKSP0405" "\0\0\0" "\0\0\0\0"s "\x10" "K\x8C Ekspert 04/05");
    EXPECT_EQ(WalkEntries(run.entries, 1), kSamplePrograms);
    EXPECT_EQ(run.report["registered"]["progress"], kEighteenPages);
    EXPECT_EQ(run.report["registered"]["boxes"], json::array({kProgramBox}));
}

TEST(KsSampleDiscs, TwojNiezbednik) {
    const Outcome run = Register(SampleDisc("ks-niezbednik").string(), "holvar");
    ASSERT_EQ(run.cli.exitCode, 0) << run.cli.err;
    EXPECT_EQ(run.discs, "\x01\x00\x0D\xD7\x07\x0B"s "KS_NIEZ0607" "\0\0\0" "\0\0\0\0"s "\x18"
                         "K\x8C Tw\xF3j Niezb\xEA" "dnik 06/07");
    EXPECT_EQ(WalkEntries(run.entries, 1), kSamplePrograms);
    EXPECT_EQ(run.report["registered"]["progress"], kEighteenPages);
    EXPECT_EQ(run.report["registered"]["boxes"], json::array({kProgramBox}));
}

TEST(KsSampleDiscs, EachSeriesClaimsOnlyItsOwnDiscs) {
    struct Case {
        const char* disc;
        const char* plugin;
        int answer;
    };
    const Case cases[] = {
        {"ks-ekspert", "holvar", 1},
        {"ks-ekspert-no-installer", "holvar", 1},
        {"ks-niezbednik", "tarvo", 1},
        {"enter", "tarvo", 1},
        {"enter", "holvar", 1},
        {"ks-ekspert-no-installer", "tarvo", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.disc) + " " + c.plugin);
        const CliResult run = RunWertowik(
            {"register", SampleDisc(c.disc).string(), "--only", c.plugin, "--json", "--no-catalogue", "--no"});
        const json report = run.Json();
        EXPECT_EQ(report["offers"][0]["answer"], c.answer);
        EXPECT_EQ(run.exitCode, c.answer == 0 ? 0 : 1);
    }
}

}  // namespace
}  // namespace wtk::test
