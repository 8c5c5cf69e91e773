// The Komputer Świat Twój Niezbędnik module, loaded and driven as the host drives it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ks_disc_support.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

// DiscId 0x0105, label "KSEKSPR0405": issue 13, year 2005, name "KŚ Twój Niezbędnik 04/05".
const TDiscRecord kRecord = MakeRecord(0x0105, "KSEKSPR0405");
const std::string kDiscBytes = "\x05\x01\x0D\xD5\x07\x0B"s "KSEKSPR0405ZZZ" "\xDE\xAD\xBE\xEF\x18"
                               "K\x8C Tw\xF3j Niezb\xEA" "dnik 04/05";

class Holvar : public KsDiscTest {
protected:
    void AddMarkers() {
        AddRootFile("ks.ico");
        AddRootFile("autorun.inf");
        AddRootFile("instaluj.exe");
    }
};

TEST_F(Holvar, ExportsItsNamesAndInfoBox) {
    const auto module = Load("holvar");
    EXPECT_STREQ(module->PluginName(), "K\x8C Tw\xF3j Niezb\xEA" "dnik");
    EXPECT_STREQ(module->CDName(), "K\x8C Tw\xF3j Niezb\xEA" "dnik");
    EXPECT_EQ(module->Info(), 1);
    const std::vector<ShownBox> expected{
        {"Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu Komputer \x8Cwiat Tw\xF3j Niezb\xEA" "dnik",
         "Informacje o wtyczce", 0x00, false}};
    EXPECT_EQ(host.boxes(), expected);
}

TEST_F(Holvar, RecognisesByAllThreeFiles) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        uint8_t answer;
        std::vector<std::string> tested;
    };
    const Case cases[] = {
        {"all three", {"ks.ico", "autorun.inf", "instaluj.exe"}, 0,
         {"E:\\ks.ico", "E:\\autorun.inf", "E:\\instaluj.exe"}},
        {"without the installer", {"ks.ico", "autorun.inf"}, 1,
         {"E:\\ks.ico", "E:\\autorun.inf", "E:\\instaluj.exe"}},
        {"without autorun", {"ks.ico", "instaluj.exe"}, 1, {"E:\\ks.ico", "E:\\autorun.inf"}},
        {"the other series' files", {"tarvo.ico", "autorun.inf", "instaluj.exe"}, 1, {"E:\\ks.ico"}},
        {"empty disc", {}, 1, {"E:\\ks.ico"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHost disc;
        for (const std::string& file : c.files) {
            disc.AddFile("E:\\" + file, "");
        }
        PluginModule module("holvar", disc);
        module.InitializePlugin('E');
        EXPECT_EQ(module.CanYouRegister(), c.answer);
        EXPECT_EQ(disc.CallsOf(Service::FileExists), c.tested);
    }
}

TEST_F(Holvar, DiscWithBothSeriesMarkersIsClaimedByBoth) {
    AddMarkers();
    AddRootFile("tarvo.ico");
    EXPECT_EQ(Load("tarvo")->CanYouRegister(), 0);
    EXPECT_EQ(Load("holvar")->CanYouRegister(), 0);
    EXPECT_TRUE(host.boxes().empty());
}

TEST_F(Holvar, RecognitionFailureShowsItsBoxAndAnswersNotMine) {
    AddMarkers();
    host.failWhen = [](Service service, const std::string&) { return service == Service::FileExists; };
    EXPECT_EQ(Load("holvar")->CanYouRegister(), 1);
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RecognitionFailureBox()});
}

TEST_F(Holvar, FourPagesOneSkipped) {
    AddMarkers();
    AddPage("a.htm", TitlePage("Foo 1.0", "Opis programu.", "freeware"));
    AddPage("blank.htm", TitlePage("Pusta 1.0", "Nie", "freeware"));
    AddPage("Program.HTM", TitlePage("\xA6wiat Gier 2004 1.5", "Gra \xB1\xB6", "Demonstracyjna"));
    AddPage("z.html", TitlePage("Edytor 3D 2.0", "Trzeci", "Adware"));

    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 25, 50, 75, 100}));
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries,
              "\x05\x01\x02\x03\x00\x03\x0E\x00"s "Foo1.0Opis programu."
              "\x05\x01\x03\x0F\x00\x03\x06\x00"s "\x8Cwiat Gier 20041.5Gra \xB9\x9C"
              "\x05\x01\x07\x06\x00\x06\x06\x00"s "Edytor3D 2.0Trzeci");
    const std::vector<std::string> read{kPageFolder + "a.htm", kPageFolder + "program.htm", kPageFolder + "z.html"};
    EXPECT_EQ(host.CallsOf(Service::ReadWholeFile), read);
    EXPECT_TRUE(host.boxes().empty());
}

TEST_F(Holvar, SkipsItsOwnListOnEveryDisc) {
    AddMarkers();
    AddPage("archiwum.htm", TitlePage("Nie 1", "Nie", ""));
    AddPage("Blank.htm", TitlePage("Nie 1", "Nie", ""));
    AddPage("head.htm", TitlePage("Head 1", "Opis", ""));
    AddPage("NOWY.HTML", TitlePage("Nie 1", "Nie", ""));
    AddPage("help.htm", TitlePage("Help 2", "Opis", ""));
    AddPage("wertowik.htm", TitlePage("Nie 1", "Nie", ""));
    AddPage("wertowik_prog.htm", TitlePage("Nie 1", "Nie", ""));
    AddPage("nowy.htm", TitlePage("Nowy 3", "Opis", ""));

    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    EXPECT_EQ(run.entries,
              "\x05\x01\x00\x04\x00\x01\x04\x00"s "Head1Opis"
              "\x05\x01\x00\x04\x00\x01\x04\x00"s "Help2Opis"
              "\x05\x01\x00\x04\x00\x01\x04\x00"s "Nowy3Opis");
}

TEST_F(Holvar, LicenceWordOfEveryPage) {
    AddMarkers();
    const char* const words[] = {
        "shareware", "Freeware", "ADWARE", "demonstracyjna", "Demo", "pe\xB3na", "ewaluacyjna",
        "TRIAL", "Pe\xB3na Wersja", "gpl", "PE\xA3NA", "Freeware (reklamy)", "pe&#322;na",
    };
    char page = 'a';
    for (const char* word : words) {
        AddPage(std::string(1, page++) + ".htm", TitlePage("P 1", "Opis", word));
    }
    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.entries,
              "\x05\x01\x01\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x02\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x07\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x03\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x03\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x04\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x05\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x05\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x04\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x06\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x00\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x00\x01\x00\x01\x04\x00"s "P1Opis"
              "\x05\x01\x00\x01\x00\x01\x04\x00"s "P1Opis");
}

TEST_F(Holvar, PageIsReadUpToItsFirstNulWithLinesJoinedByCrLf) {
    AddMarkers();
    AddPage("a.htm", "<HTML><HEAD><TITLE>Foo 1.0</TITLE></HEAD><BODY>\n" + kDescriptionMarker +
                         "\nOpis\rdrugiej\nlinii" + "\0<b class=licencja_text>gpl</b>\n"s);
    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 0);
    // Behind the NUL nothing counts, the licence marker included.
    EXPECT_EQ(run.entries, "\x05\x01\x00\x03\x00\x03\x14\x00"s "Foo1.0Opis\r\ndrugiej\r\nlinii");
}

TEST_F(Holvar, ProgramDescriptionIsShownAndStillImported) {
    AddMarkers();
    AddPage("Gra.htm", TitlePage("Gra 95 1.0", "program", "gpl"));
    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(host.boxes(), (std::vector<ShownBox>{{"program", "gra.htm>Gra 95 1.0", 0x00, false}}));
    EXPECT_EQ(run.entries, "\x05\x01\x06\x06\x00\x03\x07\x00"s "Gra 951.0program");
}

TEST_F(Holvar, EmptyTitleFailsAfterTheEntriesBeforeIt) {
    AddMarkers();
    AddPage("a.htm", TitlePage("Foo 1.0", "Opis programu.", "freeware"));
    AddPage("b.htm", TitlePage("", "Bez nazwy", "freeware"));
    AddPage("c.htm", TitlePage("Bar 2.0", "Nigdy", "freeware"));
    const Registered run = Offer("holvar", kRecord);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries, "\x05\x01\x02\x03\x00\x03\x0E\x00"s "Foo1.0Opis programu.");
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 33, 66}));
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
}

TEST_F(Holvar, DiscNameFromTheLabel) {
    AddMarkers();
    {
        SCOPED_TRACE("label of 10 characters");
        const Registered run = Offer("holvar", MakeRecord(0x0105, "KSEKSPR040"));
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.disc, "\x05\x01\x0D\xD0\x07\x0A"s "KSEKSPR040ZZZZ" "\xDE\xAD\xBE\xEF\x17"
                            "K\x8C Tw\xF3j Niezb\xEA" "dnik 04/0");
    }
    {
        SCOPED_TRACE("label of 9 characters");
        discStream.Preload("");
        const Registered run = Offer("holvar", MakeRecord(0x0105, "KSEKSPR04"));
        EXPECT_EQ(run.result, 2);
        EXPECT_EQ(run.disc, "");
        EXPECT_EQ(run.entries, "");
        EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
    }
}

}  // namespace
}  // namespace wtk::test
