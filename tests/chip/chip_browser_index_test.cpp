// The browser layout's registration: the index Browser\Chip.dat, its trailer and its lines.
#include <algorithm>
#include <string>

#include "chip_disc.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

// The default host record as the browser import leaves it for issue 5 of 2004, then the disc name.
const std::string kRecord_5_2004 =
    "\x07\x01" "\x05" "\xD4\x07" "\x05" "PLYTA" "ZZZZZZZZZ" "\xDE\xAD\xBE\xEF" "\x07" "CHIP CD"s;

class BrowserIndex : public ChipModuleTest {
protected:
    void ExpectOneFailureBox() const {
        ASSERT_EQ(host_.boxes().size(), 1u);
        EXPECT_EQ(host_.boxes()[0].text, kFailureText);
        EXPECT_FALSE(host_.boxes()[0].caption.has_value());
        EXPECT_EQ(host_.boxes()[0].flags, 0u);
        EXPECT_FALSE(host_.boxes()[0].owned);
    }
};

TEST_F(BrowserIndex, TrailerGivesIssueAndYearAndEachProgramLineAnEntry) {
    AddBrowserDisc(IndexOf({
        "0\troot\tKategoria glowna",
        "17\tEdytor v9.0\tOpis edytora",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x06\x00\x03\x0C\x00" "Edytor" "9.0" "Opis edytora"s);
    // 131 bytes: the lines end at bytes 69, 98 and 131 (the read-ahead character counted).
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 53, 75, 100}));
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(BrowserIndex, TrailerFailuresWriteNothing) {
    struct Case {
        const char* what;
        std::string index;
    };
    const Case cases[] = {
        {"no slash", IndexOf({"1\tEdytor 9.0\tOpis", "Spis programow CHIP CD\t05-2004\t"})},
        {"no digit", IndexOf({"1\tEdytor 9.0\tOpis", "Spis programow CHIP CD\tmaj/rok\t"})},
        {"shorter than the trailer", "5/2004\t\r\n"},
        {"one byte short of the trailer", std::string(15, 'x') + "05/2004\t\r"},
        {"empty file", ""},
        {"issue above 255", IndexOf({"Spis programow CHIP CD\t256/2004\t"})},
        {"year above 65535", IndexOf({"Spis programow CHIP CD\t5/65536\t"})},
        {"negative year", IndexOf({"Spis programow CHIP CD\t5/-1\t"})},
        {"letter in the issue", IndexOf({"Spis programow CHIP CD\t5a/2004\t"})},
        {"letter in the year", IndexOf({"Spis programow CHIP CD\t5/20o4\t"})},
        {"no year", IndexOf({"Spis programow CHIP CD numer\t05/\t"})},
        {"no TAB behind the year", IndexOf({"Spis programow CHIP CD 11/2003"})},
        {"number too long for 32 bits", IndexOf({"Spis programow CHIP CD\t5/99999999999\t"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChipDrive drive;
        drive.AddBrowserDisc(c.index);
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.discs, "");
        EXPECT_EQ(r.entries, "");
        EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
        ASSERT_EQ(drive.host.boxes().size(), 1u);
        EXPECT_EQ(drive.host.boxes()[0].text, kFailureText);
        EXPECT_EQ(drive.host.boxes()[0].flags, 0u);
        EXPECT_EQ(drive.OpenHandles(), 0);
    }
}

TEST_F(BrowserIndex, TrailerLimitsAreAccepted) {
    struct Case {
        const char* what;
        std::string index;
        std::string issueAndYear;  // the record's bytes 2 to 4
    };
    const Case cases[] = {
        {"issue 255, year 65535", IndexOf({"Spis programow CHIP CD\t255/65535\t"}), "\xFF\xFF\xFF"},
        {"issue 0, year 0", IndexOf({"Spis programow CHIP CD\t0/0\t"}), "\x00\x00\x00"s},
        {"year without century", IndexOf({"Spis programow CHIP CD\t12/99\t"}), "\x0C\x63\x00"s},
        {"year with a plus sign", IndexOf({"Spis programow CHIP CD\t7/+2004\t"}), "\x07\xD4\x07"},
        {"index ending right behind the year", IndexWithBody("Spis programow CHIP CD 11/2003"), "\x0B\xD3\x07"},
        {"exactly 25 bytes and no line",
         std::string("xxxxxxxxxxxxxxx05/2004\t\r\n"), "\x05\xD4\x07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChipDrive drive;
        drive.AddBrowserDisc(c.index);
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 0);
        ASSERT_EQ(r.discs.size(), 32u);
        EXPECT_EQ(r.discs.substr(2, 3), c.issueAndYear);
        EXPECT_EQ(r.discs.substr(24), "\x07" "CHIP CD");
        EXPECT_EQ(r.entries, "");
        EXPECT_TRUE(drive.host.boxes().empty());
    }
}

TEST_F(BrowserIndex, ProgramNumberIsTakenOnce) {
    AddBrowserDisc(IndexOf({
        "17\tEdytor 9.0\tPierwszy",
        "17\tInny 1.0\tDrugi",
        "18\tGra 2.0\tTrzeci",
        "17\tEdytor 9.0\tPierwszy",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x06\x00\x03\x08\x00" "Edytor" "9.0" "Pierwszy"
                         "\x07\x01\x00\x03\x00\x03\x06\x00" "Gra" "2.0" "Trzeci"s);
    EXPECT_EQ(r.progress.size(), 6u);
}

TEST_F(BrowserIndex, NumbersOutsideTheSeenTableAreSkipped) {
    AddBrowserDisc(IndexOf({
        "1000\tTysiac 1.0\tx",
        "1001\tTysiac jeden 1.0\tx",
        "-5\tUjemny 1.0\tx",
        "x\tLitera 1.0\tx",
        "\tPusty numer 1.0\tx",
        "99999999999\tZa dlugi 1.0\tx",
        "0\tZero 1.0\tpierwszy numer",
        "999\tOstatni 2.0\tostatni numer",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x04\x00\x03\x0E\x00" "Zero" "1.0" "pierwszy numer"
                         "\x07\x01\x00\x07\x00\x03\x0D\x00" "Ostatni" "2.0" "ostatni numer"s);
    // Every line reports progress, skipped or not.
    EXPECT_EQ(r.progress.size(), 10u);
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(BrowserIndex, CategoryWordsAreSkippedExactly) {
    AddBrowserDisc(IndexOf({
        "1\troot\tx",
        "2\thardware\tx",
        "3\tchip\tx",
        "4\tchip internet\tx",
        "5\tsoftware\tx",
        "6\tinternet\tx",
        "7\tporady\tx",
        // A category line takes no number: 3 is still free for a program.
        "3\tChip\tMagazyn",
        "8\tRoot\tKorzen",
        "9\tchip \tSpacja",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x04\x00\x00\x07\x00" "Chip" "Magazyn"
                         "\x07\x01\x00\x04\x00\x00\x06\x00" "Root" "Korzen"
                         "\x07\x01\x00\x05\x00\x00\x06\x00" "chip " "Spacja"s);
}

TEST_F(BrowserIndex, EmptyTitleFailsAfterTheEntriesBeforeIt) {
    AddBrowserDisc(IndexOf({
        "3\tEdytor 9.0\tOpis",
        "4\t\tBez tytulu",
        "5\tPo 1.0\tx",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x06\x00\x03\x04\x00" "Edytor" "9.0" "Opis"s);
    // 123 bytes; the failing line has reported its progress before it fails.
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 52, 64}));
    ExpectOneFailureBox();
}

TEST_F(BrowserIndex, RunsOfLineBreaksAddNoLines) {
    AddBrowserDisc(IndexWithBody("1\tA 1.0\tx\r\n\r\n\r\n2\tB 2.0\ty\r\r\n\n\r"s + std::string(kTrailerLine) +
                                 "\r\n\r\n"));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x01\x00\x03\x01\x00" "A" "1.0" "x"
                         "\x07\x01\x00\x01\x00\x03\x01\x00" "B" "2.0" "y"s);
    // 108 bytes; the lines' next characters are bytes 60 and 74, then the end.
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 55, 68, 100}));
}

TEST_F(BrowserIndex, LinesEndAtCarriageReturnsOnly) {
    // A line feed alone does not end a line: it stays inside the description.
    AddBrowserDisc(IndexOf({"1\tA 1.0\tpierwsza\nlinia", kTrailerLine}));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x01\x00\x03\x0E\x00" "A" "1.0" "pierwsza\nlinia"s);
    EXPECT_EQ(r.progress.size(), 3u);
}

TEST_F(BrowserIndex, LastLineWithoutLineBreakIsReadAndReportsAHundred) {
    AddBrowserDisc(IndexWithBody("6\tPierwszy 1.0\tx\r\n7\tOstatni 1.0\tStopka numeru wydania 05/2004\t"));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x08\x00\x03\x01\x00" "Pierwszy" "1.0" "x"
                         "\x07\x01\x00\x07\x00\x03\x1D\x00" "Ostatni" "1.0" "Stopka numeru wydania 05/2004"s);
    ASSERT_EQ(r.progress.size(), 3u);
    EXPECT_EQ(r.progress.back(), 100);
}

TEST_F(BrowserIndex, IndexOfOnlyItsHeaderGivesTheRecordAlone) {
    std::string index = "CHIP-CD index, numer 05/2004\t";
    index.resize(44, ' ');
    AddBrowserDisc(index);
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "");
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
}

TEST_F(BrowserIndex, PolishTextsPassThroughAndLongTextsAreCut) {
    const std::string longName(300, 'N');
    const std::string longDescription(70000, 'd');
    AddBrowserDisc(IndexOf({
        "9\tKalkulator \xB3\xF3" "d\xBC 2.0\t" + longDescription,
        "10\t" + longName + "\tkrotki",
        kTrailerLine,
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x0F\x00\x03\xFF\xFF" "Kalkulator \xB3\xF3" "d\xBC" "2.0"s +
                             std::string(65535, 'd') + "\x07\x01\x00\xFF\x00\x00\x06\x00"s +
                             std::string(255, 'N') + "krotki");
}

TEST_F(BrowserIndex, StreamsAreAppendedToAndMovedToTheirEndBeforeEveryWrite) {
    AddBrowserDisc(IndexOf({"1\tA 1.0\tx", "2\tB 2.0\ty", "3\tC 3.0\tz", kTrailerLine}));
    {
        // Earlier bytes stay; everything is appended behind them.
        MemoryHostStream discs, entries;
        discs.Preload("earlier disc");
        entries.Preload("earlier entries");
        const Registered r = Register(discs, entries);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.discs, "earlier disc" + kRecord_5_2004);
        EXPECT_EQ(r.entries, "earlier entries"
                             "\x07\x01\x00\x01\x00\x03\x01\x00" "A" "1.0" "x"
                             "\x07\x01\x00\x01\x00\x03\x01\x00" "B" "2.0" "y"
                             "\x07\x01\x00\x01\x00\x03\x01\x00" "C" "3.0" "z"s);
        // Size and position at the start, again before the record, then the record and the name.
        EXPECT_EQ(discs.operations(), 6);
        // Size and position at the start, then per entry: size, position and four writes.
        EXPECT_EQ(entries.operations(), 2 + 3 * 6);
    }
    {
        // The second positioning of the disc stream is the one before the record.
        MemoryHostStream discs, entries;
        discs.FailAt(2, MemoryHostStream::Failure::SetPosition);
        const Registered r = Register(discs, entries);
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.discs, "");
        EXPECT_EQ(r.entries, "");
    }
    {
        // The third positioning of the entry stream is the one before the second entry.
        MemoryHostStream discs, entries;
        entries.FailAt(3, MemoryHostStream::Failure::SetPosition);
        const Registered r = Register(discs, entries);
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.discs, kRecord_5_2004);
        EXPECT_EQ(r.entries, "\x07\x01\x00\x01\x00\x03\x01\x00" "A" "1.0" "x"s);
    }
    EXPECT_EQ(host_.boxes().size(), 2u);
}

TEST_F(BrowserIndex, FailedWriteEndsTheRegistration) {
    AddBrowserDisc(IndexOf({"1\tA 1.0\tx", "2\tB 2.0\ty", kTrailerLine}));
    MemoryHostStream discs, entries;
    entries.FailAt(5, MemoryHostStream::Failure::ShortWrite);  // the second entry's header
    const Registered r = Register(discs, entries);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, kRecord_5_2004);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x01\x00\x03\x01\x00" "A" "1.0" "x"s);
    ExpectOneFailureBox();
}

TEST_F(BrowserIndex, UnreadableIndexWritesNothing) {
    struct Case {
        const char* what;
        void (*prepare)(ChipDrive&);
    };
    const Case cases[] = {
        {"missing", [](ChipDrive& drive) { drive.host.RemoveFile(kIndexPath); }},
        {"cannot be read", [](ChipDrive& drive) { drive.Fail(Service::ReadWholeFile, kIndexPath); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChipDrive drive;
        drive.AddBrowserDisc(IndexOf({"1\tA 1.0\tx", kTrailerLine}));
        c.prepare(drive);
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.discs, "");
        EXPECT_EQ(r.entries, "");
        ASSERT_EQ(drive.host.boxes().size(), 1u);
        EXPECT_EQ(drive.host.boxes()[0].flags, 0u);
        EXPECT_EQ(drive.OpenHandles(), 0);
    }
}

TEST_F(BrowserIndex, IndexIsReadOnce) {
    std::string body;
    for (int i = 0; i < 60000; ++i) {
        body += std::to_string(i % 1000) + "\tProgram numer " + std::to_string(i) + "\tOpis programu\r\n";
    }
    body += std::string(kTrailerLine) + "\r\n";
    const std::string index = IndexWithBody(body);
    AddBrowserDisc(index);
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(drive_.Calls(Service::ReadWholeFile), (std::vector<std::string>{kIndexPath}));
    EXPECT_EQ(drive_.OpenHandles(), 0);
    // One entry per program number, one progress report per line.
    EXPECT_EQ(CountEntries(r.entries), 1000u);
    EXPECT_EQ(r.progress.size(), 60000u + 2u);
    EXPECT_EQ(r.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(r.progress.begin(), r.progress.end()));
}

}  // namespace
}  // namespace wtk::test
