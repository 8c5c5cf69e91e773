// Splitting program titles into name and version.
#include <gtest/gtest.h>

#include <string>

#include "contract/errors.h"
#include "text/name_version.h"

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
        {longName + " 1.0 " + std::string(200, 's') + "tr", longName + " 1.0 " + std::string(200, 's') + "tr",
         ""},
        // The split point lies exactly where an 8-bit position count wraps.
        {std::string(255, 'c') + " 7", std::string(255, 'c'), "7"},
        {std::string(256, 'c') + " 7", std::string(256, 'c'), "7"},
    };
    for (const SplitCase& c : cases) {
        ExpectSplit(c);
    }
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
        EXPECT_STREQ(error.what(), "B\xB3\xB9" "d przy rozdzielaniu nazwy");
    }
    EXPECT_EQ(name, "keep name");
    EXPECT_EQ(version, "keep version");
}

}  // namespace
}  // namespace wtk::text
