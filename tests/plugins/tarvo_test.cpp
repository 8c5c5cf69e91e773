// The Komputer Świat Ekspert module, loaded and driven as the host drives it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ks_disc_support.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

// DiscId 0x0105, label "KSEKSPR0405": issue 13, year 2005, name "KŚ Ekspert 04/05".
const TDiscRecord kRecord = MakeRecord(0x0105, "KSEKSPR0405");
const std::string kDiscBytes =
    "\x05\x01\x0D\xD5\x07\x0B"s "KSEKSPR0405ZZZ" "\xDE\xAD\xBE\xEF\x10" "K\x8C Ekspert 04/05";

// A page that holds both a name division and paragraphs before and after it.
const std::string kMixedPage =
    "<html><body>\r\n<p class=n>Akapit 1.0</p>\r\n"
    "<div id=l_nazwaprogramu ><FONT size=3>Dywizja 2.0</FONT></div>\r\n"
    "<p class=o>Opis</p>\r\n<i class=licencja_text>trial</i>\r\n</body></html>\r\n";
const std::string kMixedAsParagraphs = "\x05\x01\x05\x06\x00\x03\x04\x00"s "Akapit1.0Opis";
const std::string kMixedAsDivision = "\x05\x01\x05\x07\x00\x03\x04\x00"s "Dywizja2.0Opis";

class Tarvo : public KsDiscTest {
protected:
    void AddMarkers(bool installer) {
        AddRootFile("tarvo.ico");
        AddRootFile("autorun.inf");
        if (installer) {
            AddRootFile("instaluj.exe");
        }
    }
};

TEST_F(Tarvo, ExportsItsNamesAndInfoBox) {
    const auto module = Load("tarvo");
    EXPECT_STREQ(module->PluginName(), "K\x8C Ekspert");
    EXPECT_STREQ(module->CDName(), "K\x8C Ekspert");
    EXPECT_EQ(module->Info(), 1);
    const std::vector<ShownBox> expected{
        {"Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu Komputer \x8Cwiat Ekspert",
         "Informacje o wtyczce", 0x00, false}};
    EXPECT_EQ(host.boxes(), expected);
}

TEST_F(Tarvo, RecognisesByIconAndAutorunWhateverTheInstaller) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        uint8_t answer;
        std::vector<std::string> tested;
    };
    const std::vector<std::string> allTests{"E:\\instaluj.exe", "E:\\tarvo.ico", "E:\\autorun.inf"};
    const std::vector<std::string> noIcon{"E:\\instaluj.exe", "E:\\tarvo.ico"};
    const Case cases[] = {
        {"all three", {"tarvo.ico", "autorun.inf", "instaluj.exe"}, 0, allTests},
        {"without the installer", {"tarvo.ico", "autorun.inf"}, 0, allTests},
        {"icon and installer only", {"tarvo.ico", "instaluj.exe"}, 1, allTests},
        {"autorun only", {"autorun.inf"}, 1, noIcon},
        {"the other series' icon", {"ks.ico", "autorun.inf", "instaluj.exe"}, 1, noIcon},
        {"empty disc", {}, 1, noIcon},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHost disc;
        for (const std::string& file : c.files) {
            disc.AddFile("E:\\" + file, "");
        }
        PluginModule module("tarvo", disc);
        module.InitializePlugin('E');
        EXPECT_EQ(module.CanYouRegister(), c.answer);
        EXPECT_EQ(disc.CallsOf(Service::FileExists), c.tested);
        EXPECT_TRUE(disc.boxes().empty());
    }
}

TEST_F(Tarvo, RecognitionFailureShowsItsBoxAndAnswersNotMine) {
    AddMarkers(true);
    host.failWhen = [](Service service, const std::string& path) {
        return service == Service::FileExists && path == "E:\\autorun.inf";
    };
    const auto module = Load("tarvo");
    EXPECT_EQ(module->CanYouRegister(), 1);
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RecognitionFailureBox()});
}

TEST_F(Tarvo, InstallerDecidesLayoutAndSkippedPages) {
    AddPage("head.htm", kMixedPage);
    AddPage("prog.htm", kMixedPage);
    AddRootFile("tarvo.ico");
    AddRootFile("autorun.inf");

    {
        SCOPED_TRACE("without the installer: division layout, head.htm skipped");
        const Registered run = Offer("tarvo", kRecord);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.entries, kMixedAsDivision);
    }
    AddRootFile("instaluj.exe");
    {
        SCOPED_TRACE("with the installer: paragraph layout, every page");
        discStream.Preload("");
        entryStream.Preload("");
        const Registered run = Offer("tarvo", kRecord);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.entries, kMixedAsParagraphs + kMixedAsParagraphs);
    }
}

TEST_F(Tarvo, EveryRecognitionSetsTheInstallerFlagEvenWhenTheDiscIsNotTaken) {
    AddRootFile("autorun.inf");  // no icon: not a disc of this series
    AddPage("head.htm", kMixedPage);
    AddPage("prog.htm", kMixedPage);
    const auto module = Load("tarvo");
    EXPECT_EQ(module->CanYouRegister(), 1);
    EXPECT_EQ(Register(*module, kRecord).entries, kMixedAsDivision);

    AddRootFile("instaluj.exe");
    entryStream.Preload("");
    EXPECT_EQ(module->CanYouRegister(), 1);
    EXPECT_EQ(Register(*module, kRecord).entries, kMixedAsParagraphs + kMixedAsParagraphs);
}

TEST_F(Tarvo, RegistrationWithoutRecognitionUsesTheFlagAsLoaded) {
    AddPage("head.htm", kMixedPage);
    {
        // Leaves the flag set in a module that is then unloaded.
        FakeHost noInstaller;
        noInstaller.AddFile("E:\\tarvo.ico", "");
        noInstaller.AddFile("E:\\autorun.inf", "");
        PluginModule module("tarvo", noInstaller);
        module.InitializePlugin('E');
        EXPECT_EQ(module.CanYouRegister(), 0);
    }
    const auto module = Load("tarvo");
    const Registered run = Register(*module, kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.entries, kMixedAsParagraphs);
}

TEST_F(Tarvo, DiscRecordFromTheLabel) {
    struct Case {
        const char* what;
        TDiscRecord record;
        std::string disc;
    };
    const Case cases[] = {
        {"label ending in 0405", kRecord, kDiscBytes},
        {"label of 10 characters", MakeRecord(0x0105, "KSEKSPR040"),
         "\x05\x01\x0D\xD0\x07\x0A"s "KSEKSPR040ZZZZ" "\xDE\xAD\xBE\xEF\x0F" "K\x8C Ekspert 04/0"},
        {"label of 14 characters", MakeRecord(0xFFFF, "ABCDEFG0799XYZ", "\x01\x02\x03\x04"),
         "\xFF\xFF\x0D\x33\x08\x0E"s "ABCDEFG0799XYZ" "\x01\x02\x03\x04\x10" "K\x8C Ekspert 07/99"},
    };
    AddMarkers(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        discStream.Preload("");
        const Registered run = Offer("tarvo", c.record);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.disc, c.disc);
        EXPECT_EQ(run.entries, "");
        EXPECT_EQ(run.progress, std::vector<int32_t>{0});
    }
    EXPECT_TRUE(host.boxes().empty());
}

TEST_F(Tarvo, LabelWithoutYearDigitsFailsBeforeWritingAnything) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    const char* const labels[] = {"KSEKSPR04", "", "KSEKSPR04x5", "KSEKSPR04 5", "KSEKSPR04-"};
    for (const char* label : labels) {
        SCOPED_TRACE(label);
        const std::size_t boxesBefore = host.boxes().size();
        const Registered run = Offer("tarvo", MakeRecord(0x0105, label));
        EXPECT_EQ(run.result, 2);
        EXPECT_EQ(run.disc, "");
        EXPECT_EQ(run.entries, "");
        EXPECT_EQ(run.progress, std::vector<int32_t>{0});
        ASSERT_EQ(host.boxes().size(), boxesBefore + 1);
        EXPECT_EQ(host.boxes().back(), RegistrationFailureBox());
    }
    EXPECT_TRUE(host.CallsOf(Service::FindFirst).empty());
}

TEST_F(Tarvo, ThreePagesWithTheInstaller) {
    AddMarkers(true);
    AddPage("head.htm", ParagraphPage("Foo 1.0", "A tool.", "Freeware"));
    AddPage("Edytor.HTM", ParagraphPage("Edytor v2.1", "Edytor tekstu \xB1\xB6\xA6", "Pe\xB3na wersja"));
    AddPage("gra.htm", ParagraphPage("Gra 2005", "Opis gry", ""));

    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 33, 66, 100}));
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries,
              "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool."
              "\x05\x01\x04\x06\x00\x03\x11\x00"s "Edytor2.1Edytor tekstu \xB9\x9C\x8C"
              "\x05\x01\x00\x08\x00\x00\x08\x00"s "Gra 2005Opis gry");
    const std::vector<std::string> read{kPageFolder + "head.htm", kPageFolder + "edytor.htm", kPageFolder + "gra.htm"};
    EXPECT_EQ(host.CallsOf(Service::ReadWholeFile), read);
    EXPECT_EQ(host.CallsOf(Service::FindFirst),
              (std::vector<std::string>{kPageFolder + "*.htm", kPageFolder + "*.htm"}));
    EXPECT_TRUE(host.boxes().empty());
}

TEST_F(Tarvo, FivePagesTwoSkippedWithoutTheInstaller) {
    AddMarkers(false);
    AddPage("a.htm", DivisionPage("Alfa 1.0", "Pierwszy", "Shareware"));
    AddPage("head.htm", DivisionPage("Head 1.0", "Nie", "demo"));
    AddPage("HELP.HTM", DivisionPage("Help 1.0", "Nie", "demo"));
    AddPage("opis.html", DivisionPage("Beta v3", "Drugi", "DEMO"));
    AddPage("z.htm", DivisionPage("Gamma 2000/XP 8.0", "Trzeci", "gpl"));

    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(run.entries,
              "\x05\x01\x01\x04\x00\x03\x08\x00"s "Alfa1.0Pierwszy"
              "\x05\x01\x03\x04\x00\x01\x05\x00"s "Beta3Drugi"
              "\x05\x01\x06\x0D\x00\x03\x06\x00"s "Gamma 2000/XP8.0Trzeci");
    const std::vector<std::string> read{kPageFolder + "a.htm", kPageFolder + "opis.html", kPageFolder + "z.htm"};
    EXPECT_EQ(host.CallsOf(Service::ReadWholeFile), read);
}

TEST_F(Tarvo, EverySkippedNameOnlyWithoutTheInstaller) {
    const char* const skipped[] = {"head.htm", "szukanie.htm", "help.htm", "poczatek.htm", "Poczatek.HTML"};
    AddMarkers(false);
    for (const char* name : skipped) {
        AddPage(name, DivisionPage("Nie 1.0", "Nie", ""));
    }
    AddPage("wertowik.htm", DivisionPage("Tak 1.0", "Tak", ""));  // the other series' list does not apply
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 16, 33, 50, 66, 83, 100}));
    EXPECT_EQ(run.entries, "\x05\x01\x00\x03\x00\x03\x03\x00"s "Tak1.0Tak");
}

TEST_F(Tarvo, EmptyPageFolderWritesTheDiscOnly) {
    AddMarkers(true);
    host.AddDirectory("E:\\datalo\\htm");
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries, "");
    EXPECT_EQ(run.progress, std::vector<int32_t>{0});
}

TEST_F(Tarvo, ProgramDescriptionIsShownAndStillImported) {
    AddMarkers(true);
    AddPage("ABC.htm", ParagraphPage("Foo 1.0", "program", "freeware"));
    AddPage("d.htm", ParagraphPage("Bar 2", "Programik", "freeware"));
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(host.boxes(), (std::vector<ShownBox>{{"program", "abc.htm>Foo 1.0", 0x00, false}}));
    EXPECT_EQ(run.entries,
              "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0program"
              "\x05\x01\x02\x03\x00\x01\x09\x00"s "Bar2Programik");
}

TEST_F(Tarvo, EmptyNameFailsAfterTheEntriesBeforeIt) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    AddPage("b.htm", ParagraphPage("", "Bez nazwy", "freeware"));
    AddPage("c.htm", ParagraphPage("Bar 2.0", "Nigdy", "freeware"));
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries, "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool.");
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 33, 66}));
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
}

TEST_F(Tarvo, FolderAmongThePagesFailsCleanly) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    host.AddDirectory(kPageFolder + "x.htm");
    AddPage("z.htm", ParagraphPage("Bar 2.0", "Nigdy", "freeware"));
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.disc, kDiscBytes);
    EXPECT_EQ(run.entries, "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool.");
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 33, 66}));
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
}

TEST_F(Tarvo, PagesThatAppearAfterAnEmptyCountReport100) {
    AddMarkers(true);
    int searches = 0;
    host.onFindFirst = [&](const std::string&) {
        if (++searches == 2) {
            AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
            AddPage("b.htm", ParagraphPage("Bar 2", "Programik", "freeware"));
        }
    };
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.progress, (std::vector<int32_t>{0, 100, 100}));
    EXPECT_EQ(run.entries,
              "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool."
              "\x05\x01\x02\x03\x00\x01\x09\x00"s "Bar2Programik");
}

TEST_F(Tarvo, HostFailuresEndTheImportWithOneBox) {
    struct Case {
        const char* what;
        Service service;
        int occurrence;  // which call of that service fails
        std::string entries;
    };
    const std::string first = "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool.";
    const Case cases[] = {
        {"count search", Service::FindFirst, 1, ""},
        {"page search", Service::FindFirst, 2, ""},
        {"search step", Service::FindNext, 3, first},
        {"first page", Service::ReadWholeFile, 1, ""},
        {"second page", Service::ReadWholeFile, 2, first},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHost disc;
        disc.AddFile("E:\\tarvo.ico", "");
        disc.AddFile("E:\\autorun.inf", "");
        disc.AddFile("E:\\instaluj.exe", "");
        disc.AddFile(kPageFolder + "a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
        disc.AddFile(kPageFolder + "b.htm", ParagraphPage("Bar 2.0", "Nigdy", "freeware"));
        int seen = 0;
        disc.failWhen = [&](Service service, const std::string&) {
            return service == c.service && ++seen == c.occurrence;
        };
        PluginModule module("tarvo", disc);
        module.InitializePlugin('E');
        ASSERT_EQ(module.CanYouRegister(), 0);
        MemoryHostStream discs, entries;
        ProgressLog log;
        EXPECT_EQ(module.RegisterCD(discs.variable(), entries.variable(), kRecord, log.proc()), 2);
        EXPECT_EQ(discs.bytes(), kDiscBytes);
        EXPECT_EQ(entries.bytes(), c.entries);
        EXPECT_EQ(disc.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
        EXPECT_EQ(disc.openSearches(), 0u);
        EXPECT_EQ(disc.openFiles(), 0u);
    }
}

TEST_F(Tarvo, StreamFailureEndsTheImport) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    AddPage("b.htm", ParagraphPage("Bar 2.0", "Nigdy", "freeware"));
    // The fourth write to the entry stream: the first entry's description.
    entryStream.FailAt(4, MemoryHostStream::Failure::ShortWrite);
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.entries, "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0");
    EXPECT_EQ(host.boxes(), std::vector<ShownBox>{RegistrationFailureBox()});
}

TEST_F(Tarvo, AppendsBehindWhatTheStreamsHold) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    discStream.Preload("OLD DISC");
    entryStream.Preload("OLD ENTRIES");
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.disc, "OLD DISC" + kDiscBytes);
    EXPECT_EQ(run.entries, "OLD ENTRIES" "\x05\x01\x02\x03\x00\x03\x07\x00"s "Foo1.0A tool.");
}

TEST_F(Tarvo, StreamsAreMovedToTheirEndsBeforeTheRecordAndEveryHeader) {
    AddMarkers(true);
    AddPage("a.htm", ParagraphPage("Foo 1.0", "A tool.", "freeware"));
    AddPage("b.htm", ParagraphPage("Bar", "Bez wersji", "freeware"));
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    // Size and position at the start; again before the record; record and name.
    EXPECT_EQ(discStream.operations(), 2 + 2 + 2);
    // Size and position at the start; per entry size, position, header and each non-empty text.
    EXPECT_EQ(entryStream.operations(), 2 + (2 + 4) + (2 + 3));
}

TEST_F(Tarvo, DescriptionLongerThanItsLengthFieldIsCut) {
    AddMarkers(true);
    const std::string longDescription(70000, 'd');
    AddPage("a.htm", ParagraphPage("Foo 1.0", longDescription, "freeware"));
    const Registered run = Offer("tarvo", kRecord);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.entries, "\x05\x01\x02\x03\x00\x03\xFF\xFF"s "Foo1.0" + std::string(65535, 'd'));
}

}  // namespace
}  // namespace wtk::test
