// The legacy layout's registration: issue and year from the volume label, programs from Tabela.dbt.
#include <algorithm>
#include <string>

#include "chip_disc.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

// The default host record as the legacy import leaves it for issue 5 of 1999, then the disc name.
const std::string kRecord_5_1999 =
    "\x07\x01" "\x05" "\xCF\x07" "\x05" "PLYTA" "ZZZZZZZZZ" "\xDE\xAD\xBE\xEF" "\x04" "CHIP"s;

// A table: its header line and the lines given, each followed by the line break given.
std::string Table(std::initializer_list<std::string> lines, std::string_view lineBreak = "\r\n") {
    std::string table(kTableHeader);
    table.append(lineBreak);
    for (const std::string& line : lines) {
        table.append(line);
        table.append(lineBreak);
    }
    return table;
}

class LegacyTable : public ChipModuleTest {
protected:
    void ExpectOneFailureBox() const {
        ASSERT_EQ(host_.boxes().size(), 1u);
        EXPECT_EQ(host_.boxes()[0].text, kFailureText);
        EXPECT_FALSE(host_.boxes()[0].caption.has_value());
        EXPECT_EQ(host_.boxes()[0].flags, 0u);
    }
};

const std::string kThreePrograms =
    "\x07\x01\x02\x06\x00\x03\x04\x00" "Edytor" "9.0" "Opis"
    "\x07\x01\x01\x03\x00\x03\x05\x00" "Gra" "2.1" "Akcja"
    "\x07\x01\x03\x05\x00\x01\x04\x00" "Album" "5" "Foto"s;

TEST_F(LegacyTable, LabelGivesIssueAndYearAndEachLineAnEntry) {
    AddLegacyDisc("CHIP_05_99", Table({
        TableLine("1", "Edytor 9.0", "Opis", "narzedzia", "Freeware"),
        TableLine("2", "Gra 2.1", "Akcja", "gry", "Shareware"),
        TableLine("3", "Album v5", "Foto", "grafika", "Demonstracyjna"),
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, kRecord_5_1999);
    EXPECT_EQ(r.entries, kThreePrograms);
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 40, 60, 80}));
    EXPECT_EQ(drive_.Calls(Service::VolumeLabel), (std::vector<std::string>{"D:\\"}));
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(LegacyTable, EveryWayOfEndingTheLinesReadsEveryLine) {
    struct Case {
        const char* what;
        std::string table;
        std::string entries = kThreePrograms;
        std::vector<int32_t> progress = {0, 40, 60, 80};
    };
    const std::string a = TableLine("1", "Edytor 9.0", "Opis", "narzedzia", "Freeware");
    const std::string b = TableLine("2", "Gra 2.1", "Akcja", "gry", "Shareware");
    const std::string c = TableLine("3", "Album v5", "Foto", "grafika", "Demonstracyjna");
    const std::string header(kTableHeader);
    const Case cases[] = {
        {"CR LF", Table({a, b, c})},
        {"CR LF but the last line", header + "\r\n" + a + "\r\n" + b + "\r\n" + c},
        {"LF", Table({a, b, c}, "\n")},
        {"LF but the last line", header + "\n" + a + "\n" + b + "\n" + c},
        {"CR", Table({a, b, c}, "\r")},
        // Blanks, LF, NUL and Ctrl-Z after the last line break are no line.
        {"CR LF, then Ctrl-Z", Table({a, b, c}) + "\x1A"},
        {"CR LF, then LF", Table({a, b, c}) + "\n"},
        {"CR LF, then blanks, NUL and Ctrl-Z", Table({a, b, c}) + " \t\n\0\x1A"s},
        {"LF, then Ctrl-Z", Table({a, b, c}, "\n") + "\x1A"},
        // With CRs in the table, an LF that does not follow a CR stays inside its line.
        {"CR LF and CR, an LF opening a line", header + "\r" + a + "\r\n\n" + b + "\r" + c + "\r\n"},
        {"CR LF, an LF inside a description",
         Table({TableLine("1", "Edytor 9.0", "Opis\ndwa", "narzedzia", "Freeware"), b, c}),
         "\x07\x01\x02\x06\x00\x03\x08\x00" "Edytor" "9.0" "Opis\ndwa"s + kThreePrograms.substr(21)},
        {"CR LF, an LF between two lines", header + "\r\n" + a + "\n" + b + "\r\n" + c + "\r\n",
         // The licence field runs on into the next line's first field: no known word.
         "\x07\x01\x00\x06\x00\x03\x04\x00" "Edytor" "9.0" "Opis"s + kThreePrograms.substr(40), {0, 50, 75}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ChipDrive drive;
        drive.AddLegacyDisc("CHIP_05_99", k.table);
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.discs, kRecord_5_1999);
        EXPECT_EQ(r.entries, k.entries);
        EXPECT_EQ(r.progress, k.progress);
    }
}

TEST_F(LegacyTable, LabelsGiveIssueAndYear) {
    struct Case {
        const char* label;
        std::string issueAndYear;  // the record's bytes 2 to 4
    };
    const Case cases[] = {
        {"CHIP_05_99", "\x05\xCF\x07"},
        {"CHIP_12_2001", "\x0C\xD1\x07"},
        {"CHIP_01_00", "\x01\xD0\x07"},
        {"CHIP_03_79", "\x03\x1F\x08"},
        {"CHIP_03_80", "\x03\xBC\x07"},
        {"CHIP_07_100", "\x07\x64\x00"s},
        {"_07_04", "\x07\xD4\x07"},
        {"CHIP_255_65535", "\xFF\xFF\xFF"},
        {"CHIP_0_1999", "\x00\xCF\x07"s},
        // Below 0 the year is still counted from 1900: -1 is 1899, -1900 is 0.
        {"CHIP_05_-1", "\x05\x6B\x07"},
        {"CHIP_05_-1900", "\x05\x00\x00"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ChipDrive drive;
        drive.AddLegacyDisc(c.label, Table({}));
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 0);
        ASSERT_EQ(r.discs.size(), 29u);
        EXPECT_EQ(r.discs.substr(2, 3), c.issueAndYear);
        EXPECT_EQ(r.discs.substr(24), "\x04" "CHIP");
        EXPECT_TRUE(drive.host.boxes().empty());
    }
}

TEST_F(LegacyTable, LabelsWithoutTwoNumbersWriteNothing) {
    const char* const labels[] = {
        "CHIP05", "CHIP_05", "CHIP_05_", "CHIP__99", "CHIP_x_99", "CHIP_05_x", "CHIP_05_99_1",
        "CHIP_256_99", "CHIP_-1_99", "CHIP_05_-1901", "CHIP_05_65536", "",
    };
    for (const char* label : labels) {
        SCOPED_TRACE(label);
        ChipDrive drive;
        drive.AddLegacyDisc(label, Table({TableLine("1", "Edytor 9.0", "Opis", "narzedzia", "Freeware")}));
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.discs, "");
        EXPECT_EQ(r.entries, "");
        EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
        ASSERT_EQ(drive.host.boxes().size(), 1u);
        EXPECT_EQ(drive.host.boxes()[0].text, kFailureText);
        EXPECT_EQ(drive.host.boxes()[0].flags, 0u);
        // The table is not opened before the label is known to be good.
        EXPECT_TRUE(drive.Calls(Service::ReadWholeFile).empty());
    }
}

TEST_F(LegacyTable, FailedLabelQueryIsAnEmptyLabel) {
    AddLegacyDisc("CHIP_05_99", Table({}));
    drive_.Fail(Service::VolumeLabel, "D:\\");
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, "");
    EXPECT_EQ(r.entries, "");
    ExpectOneFailureBox();
}

TEST_F(LegacyTable, TableOfOnlyItsHeaderGivesTheRecordAlone) {
    const std::string header(kTableHeader);
    for (const std::string& table : {header + "\r\n", header, std::string()}) {
        SCOPED_TRACE(table.size());
        ChipDrive drive;
        drive.AddLegacyDisc("CHIP_05_99", table);
        const Registered r = drive.Register();
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.discs, kRecord_5_1999);
        EXPECT_EQ(r.entries, "");
        EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
        EXPECT_TRUE(drive.host.boxes().empty());
    }
}

TEST_F(LegacyTable, NumberFieldAbove1000SkipsAndNonNumberFails) {
    AddLegacyDisc("CHIP_05_99", Table({
        TableLine("1000", "Tysiac 1.0", "a", "gry", "Freeware"),
        TableLine("1001", "Pominiety 1.0", "b", "gry", "Freeware"),
        TableLine("-3", "Ujemny 2.0", "c", "gry", "Freeware"),
        TableLine("x", "Litera 3.0", "d", "gry", "Freeware"),
        TableLine("5", "Po 4.0", "e", "gry", "Freeware"),
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, kRecord_5_1999);
    EXPECT_EQ(r.entries, "\x07\x01\x02\x06\x00\x03\x01\x00" "Tysiac" "1.0" "a"
                         "\x07\x01\x02\x06\x00\x03\x01\x00" "Ujemny" "2.0" "c"s);
    // Six lines and the header: the divisor is 7; the failing fourth data line reports 71.
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 28, 42, 57, 71}));
    ExpectOneFailureBox();
}

TEST_F(LegacyTable, LicenceWordsAndSectionsChooseTheEntry) {
    AddLegacyDisc("CHIP_05_99", Table({
        TableLine("1", "Edytor 9.0", "d", "narzedzia", "Freeware"),
        TableLine("2", "Edytor 9.0", "d", "narzedzia", "freeware"),
        TableLine("3", "Edytor 9.0", "d", "narzedzia", "Demonstracyjna"),
        TableLine("4", "Edytor 9.0", "d", "narzedzia", "Shareware"),
        TableLine("5", "Edytor 9.0", "d", "narzedzia", "30-dniowa"),
        TableLine("6", "Edytor 9.0", "d", "narzedzia", "45-dniowa"),
        TableLine("7", "Edytor 9.0", "d", "narzedzia", "Pe\xB3na"),
        TableLine("8", "Edytor 9.0", "d", "narzedzia", "GPL"),
        TableLine("9", "Edytor 9.0", "d", "top_ten", ""),
        TableLine("10", "Edytor 9.0", "d", "testsoft", ""),
        TableLine("11", "Edytor 9.0", "d", "narzedzia", ""),
        TableLine("12", "Edytor 9.0", "d", "Top_ten", ""),
        TableLine("13", "Edytor 9.0", "d", "top_ten", "Shareware"),
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries,
              // Full entries: the licence kind and the title split into name and version.
              "\x07\x01\x02\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x00\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x03\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x01\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x05\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x05\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x04\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x00\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x00\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              "\x07\x01\x00\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"
              // Plain entries: the whole title as the name, no version.
              "\x07\x01\x00\x0A\x00\x00\x01\x00" "Edytor 9.0" "d"
              "\x07\x01\x00\x0A\x00\x00\x01\x00" "Edytor 9.0" "d"
              // A licence word in a special section: full entry with its kind.
              "\x07\x01\x01\x06\x00\x03\x01\x00" "Edytor" "9.0" "d"s);
}

TEST_F(LegacyTable, EmptyTitleFailsOnlyInAFullEntry) {
    AddLegacyDisc("CHIP_05_99", Table({
        TableLine("1", "", "bez tytulu", "narzedzia", ""),
        TableLine("2", "", "bez tytulu", "narzedzia", "Freeware"),
        TableLine("3", "Gra 1.0", "po", "gry", "Freeware"),
    }));
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.entries, "\x07\x01\x00\x00\x00\x00\x0A\x00" "bez tytulu"s);
    ExpectOneFailureBox();
}

TEST_F(LegacyTable, SameProgramTwiceGivesTwoEntries) {
    const std::string line = TableLine("4", "Gra 2.1", "Akcja", "gry", "Shareware");
    AddLegacyDisc("CHIP_05_99", Table({line, line}));
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.entries, "\x07\x01\x01\x03\x00\x03\x05\x00" "Gra" "2.1" "Akcja"
                         "\x07\x01\x01\x03\x00\x03\x05\x00" "Gra" "2.1" "Akcja"s);
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0, 50, 75}));
}

TEST_F(LegacyTable, MissingTableFailsAfterTheRecord) {
    AddLegacyDisc("CHIP_05_99", "");
    host_.RemoveFile(kTablePath);
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, kRecord_5_1999);
    EXPECT_EQ(r.entries, "");
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
    ExpectOneFailureBox();
}

TEST_F(LegacyTable, StreamsAreNotMovedAgainBeforeWrites) {
    AddLegacyDisc("CHIP_05_99", Table({TableLine("2", "Gra 2.1", "Akcja", "gry", "Shareware")}));
    MemoryHostStream discs, entries;
    discs.Preload("earlier disc");
    // Only the frame positions the streams; a second positioning would fail here.
    discs.FailAt(2, MemoryHostStream::Failure::SetPosition);
    entries.FailAt(2, MemoryHostStream::Failure::SetPosition);
    const Registered r = Register(discs, entries);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, "earlier disc" + kRecord_5_1999);
    EXPECT_EQ(r.entries, "\x07\x01\x01\x03\x00\x03\x05\x00" "Gra" "2.1" "Akcja"s);
    // Size and position at the start, then the record and the name.
    EXPECT_EQ(discs.operations(), 4);
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(LegacyTable, TablesBeyondSixteenBitLineCountsAreReadWhole) {
    std::string table(kTableHeader);
    table += "\r\n";
    const std::string line = TableLine("7", "Gra 1.0", "x", "gry", "Freeware") + "\r\n";
    constexpr int kLines = 70000;
    for (int i = 0; i < kLines; ++i) {
        table += line;
    }
    AddLegacyDisc("CHIP_05_99", table);
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(CountEntries(r.entries), static_cast<std::size_t>(kLines));
    ASSERT_EQ(r.progress.size(), static_cast<std::size_t>(kLines) + 1);
    // Line m of L + 1 reports m * 100 / (L + 2) with L the data lines: the last is 99, never 100.
    EXPECT_EQ(r.progress[1], 0);
    EXPECT_EQ(r.progress.back(), 99);
    EXPECT_TRUE(std::is_sorted(r.progress.begin(), r.progress.end()));
}

}  // namespace
}  // namespace wtk::test
