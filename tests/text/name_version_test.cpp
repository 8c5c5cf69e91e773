// Splitting program titles into name and version.
#include "text/name_version.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "contract/errors.h"

namespace wtk::text {
namespace {

struct SplitCase {
    std::string input;
    std::string name;
    std::string version;
};

void ExpectSplit(const SplitCase& c) {
    SCOPED_TRACE("input \"" + c.input + "\"");
    std::string name = "previous name";
    std::string version = "previous version";
    SplitNameVersion(c.input, name, version);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(version, c.version);

    // The splitter for long runs gives the same, also after a title whose tag went to its room.
    NameVersionSplitter splitter;
    splitter.Split("Album v.2000/XP v2.1");
    const NameVersionSplitter::Parts parts = splitter.Split(c.input);
    EXPECT_EQ(parts.name, c.name);
    EXPECT_EQ(parts.version, c.version);
}

TEST(SplitNameVersion, VersionMarkersAndSplitPoint) {
    const SplitCase cases[] = {
        {"Edytor 9.0", "Edytor", "9.0"},
        {"Edytor v9.0", "Edytor", "9.0"},
        {"Edytor V9.0", "Edytor", "9.0"},
        {"Edytor v.7.54", "Edytor", "7.54"},
        {"Edytor ver. 7", "Edytor ver.", "7"},
        {"Album XP SP2", "Album XP SP2", ""},
        {"Mp3v2 Edytor 1.0", "Mp3", "2 Edytor 1.0"},
        {"Gra 2 1.0", "Gra", "2 1.0"},
        {"Edytor 3D 2.0", "Edytor", "3D 2.0"},
        {"  Edytor  ", "  Edytor  ", ""},
        {"v2", "v2", ""},
        {"A 5", "A", "5"},
        {"v.5", "", "5"},
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
}

TEST(SplitNameVersion, TagsThatStayWithTheName) {
    const SplitCase cases[] = {
        {"Album 2003", "Album 2003", ""},
        {"Album 2003 SP1", "Album 2003", "SP1"},
        {"Album 2004 1.5", "Album 2004", "1.5"},
        {"Album 2005.1", "Album", "2005.1"},
        {"Album 20051", "Album", "20051"},
        {"Album 20", "Album", "20"},
        {"Edytor 2000/XP 8.0", "Edytor 2000/XP", "8.0"},
        {"Gra 2000/XP/2003 95", "Gra 2000/XP/2003", "95"},
        {"Gra 95/98 2.0", "Gra 95/98", "2.0"},
        {"Gra 4in1 1.0", "Gra 4in1", "1.0"},
        {"Gra 95 1.0", "Gra 95", "1.0"},
        {"Gra 98", "Gra 98", ""},
        {"Gra 16bit", "Gra", "16bit"},
        {"Gra 2k 5", "Gra 2k", "5"},
        {"Gra 2K 5", "Gra", "2K 5"},
        {"Edytor 100% 1.0", "Edytor 100%", "1.0"},
        {"Edytor str. 12", "Edytor str. 12", ""},
        {"Czysty rejestr 2.1", "Czysty rejestr 2.1", ""},
        {"Gra 95 strona 4", "Gra 95  strona 4", ""},
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
}

TEST(SplitNameVersion, FurtherTagsAndTrimming) {
    const SplitCase cases[] = {
        {"Pakiet 2000/2003/XP 3.1", "Pakiet 2000/2003/XP", "3.1"},
        {"Pakiet 2000/XP/2003NT/2000/XP 3.1", "Pakiet 2000/XP/2003 NT/2000/XP", "3.1"},
        {"Gra 32 1.0", "Gra 32", "1.0"},
        {"Gra 9x", "Gra 9x", ""},
        {"Gra XP", "Gra XP", ""},  // no digit after a space: no split at all
        {"Gra 2005 a 2006", "Gra 2005", "a 2006"},
        {"Gra 2005x", "Gra", "2005x"},
        {"Edytor 1.0 50%", "Edytor 1.0 50%", ""},
        {"Edytor\t 9.0\r", "Edytor", "9.0"},
        {"Gra\xB9 1.0 \xB3", "Gra\xB9", "1.0 \xB3"},  // Windows-1250 letters are never trimmed
        {"5", "5", ""},
        {" 5", " 5", ""},
        {"ab", "ab", ""},
        {" 1 2", "1", "2"},  // position 1 is never a split point
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
}

TEST(SplitNameVersion, TextsLongerThan256CharactersAreScannedWhole) {
    const std::string longName(300, 'a');
    const std::string longVersion = "1." + std::string(300, '7');
    const SplitCase cases[] = {
        {longName + " 2.0", longName, "2.0"},
        {longName + " v3.1", longName, "3.1"},
        {longName + " v.3", longName, "3"},
        {std::string(255, 'b') + " 95 1.0", std::string(255, 'b') + " 95", "1.0"},
        {"Edytor 2000/XP " + longVersion, "Edytor 2000/XP", longVersion},
        {longName + " 1.0 " + std::string(200, 's') + "tr", longName + " 1.0 " + std::string(200, 's') + "tr", ""},
        // The split point lies exactly where an 8-bit position count wraps.
        {std::string(255, 'c') + " 7", std::string(255, 'c'), "7"},
        {std::string(256, 'c') + " 7", std::string(256, 'c'), "7"},
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
}

TEST(SplitNameVersion, VersionMarkersAndBlanksWhereverTheyStand) {
    // A marker ("v", "V", "v.") first, just before the split point, inside the version, or not
    // before a digit; blanks and control bytes around the parts; tags and page references.
    const SplitCase cases[] = {
        {"v2 Edytor 3", "2 Edytor", "3"},
        {"V.2 Edytor 3", "", "2 Edytor 3"},
        {"v.2", "", "2"},
        {"Av.2", "A", "2"},
        {"A v.2 beta", "A", "2 beta"},
        {"Edytor V1.0", "Edytor", "1.0"},
        {"Edytor v.1.2 str. 5", "Edytor 1.2 str. 5", ""},
        {"ab v 2", "ab v", "2"},
        {"a.v2", "a.", "2"},
        {"Program NT/2000/XP 1.0", "Program NT/2000/XP", "1.0"},
        {"Program 2000/2003/XP 2.1", "Program 2000/2003/XP", "2.1"},
        {"Program 2000/XP/2003 2.1", "Program 2000/XP/2003", "2.1"},
        {"Program 95/98 3.0", "Program 95/98", "3.0"},
        {"Gra 4in1 1.5", "Gra 4in1", "1.5"},
        {"Kalendarz 2004 2.0", "Kalendarz 2004", "2.0"},
        {"Kalendarz 2004", "Kalendarz 2004", ""},
        {"Kalendarz 20045 1", "Kalendarz", "20045 1"},
        {"Sterownik 9x 1.2", "Sterownik 9x", "1.2"},
        {"Sterownik XP", "Sterownik XP", ""},
        {"Sterownik 2k 1", "Sterownik 2k", "1"},
        {"Sterownik 32 bity", "Sterownik 32", "bity"},
        {"Wygaszacz 50% taniej", "Wygaszacz 50%", "taniej"},
        {"Magazyn 1 str. 12", "Magazyn 1 str. 12", ""},
        {"Edytor 1.0 ze str 3", "Edytor 1.0 ze str 3", ""},
        {"  Edytor 2.0  ", "Edytor", "2.0"},
        {"Edytor\x01"
         " 2.0\x1A"
         "",
         "Edytor", "2.0"},
        {"a  2", "a", "2"},
        {"x 1", "x", "1"},
        {"1 2", "1", "2"},
        {" 1", " 1", ""},
        {"v", "v", ""},
        {"V.", "V.", ""},
        {"Edytor vv2", "Edytor v", "2"},
        {"Edytor v.v.3", "Edytor v.", "3"},
        {"Edytor v. 2", "Edytor v.", "2"},
        {"Edytor 2 v3 v.4", "Edytor", "2  3   4"},
        {"Edytor NT 4 NT", "Edytor NT", "4 NT"},
        {"Nazwa  95/98 95 2", "Nazwa 95/98", "95 2"},
        {"Nazwa 2000/XP2000/XP 1", "Nazwa 2000/XP", "2000/XP 1"},
        {"Program 16 bit 9x", "Program 16", "bit 9x"},
        {"Album 2000/XP 2.1", "Album 2000/XP", "2.1"},
        {"Edytor tekstu z bardzo dluga nazwa 2000/XP v2.1 strona",
         "Edytor tekstu z bardzo dluga nazwa 2000/XP   2.1 strona", ""},
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
}

// Titles made of the pieces the rules look at, split by both routines, one title after another.
TEST(NameVersionSplitter, AgreesWithSplitNameVersionOnMadeUpTitles) {
    constexpr std::array<std::string_view, 24> kPieces{
        "v",     "V",    ".",  " ",  "  ", "1",  "20", "2000", "99",  "2000/2003/XP", "NT/2000/XP", "2000/XP",
        "95/98", "4in1", "2k", "NT", "XP", "16", "9x", "%",    "str", "st",           "Ab",         "\x1a"};
    std::mt19937 random(21);
    NameVersionSplitter splitter;
    for (int n = 0; n < 20000; ++n) {
        std::string title;
        for (unsigned pieces = 1 + random() % 8; pieces > 0; --pieces) {
            title += kPieces[random() % kPieces.size()];
        }
        SCOPED_TRACE("title \"" + title + "\"");
        std::string name;
        std::string version;
        SplitNameVersion(title, name, version);
        const NameVersionSplitter::Parts parts = splitter.Split(title);
        ASSERT_EQ(parts.name, name);
        ASSERT_EQ(parts.version, version);
    }
}

TEST(NameVersionSplitter, EmptyTitleThrows) {
    NameVersionSplitter splitter;
    EXPECT_THROW(splitter.Split(""), PluginError);
}

TEST(SplitNameVersion, InputMayBeTheNameVariable) {
    std::string text = "Edytor v2.1";
    std::string version;
    SplitNameVersion(text, text, version);
    EXPECT_EQ(text, "Edytor");
    EXPECT_EQ(version, "2.1");

    std::string unsplit = "  Edytor  ";
    SplitNameVersion(unsplit, unsplit, version);
    EXPECT_EQ(unsplit, "  Edytor  ");
    EXPECT_EQ(version, "");
}

TEST(SplitNameVersion, EmptyTextThrowsAndLeavesTheOutputs) {
    std::string name = "keep name";
    std::string version = "keep version";
    try {
        SplitNameVersion("", name, version);
        FAIL() << "an empty text must be rejected";
    } catch (const PluginError& error) {
        EXPECT_STREQ(error.what(),
                     "B\xB3\xB9"
                     "d przy rozdzielaniu nazwy");
    }
    EXPECT_EQ(name, "keep name");
    EXPECT_EQ(version, "keep version");
}

}  // namespace
}  // namespace wtk::text
