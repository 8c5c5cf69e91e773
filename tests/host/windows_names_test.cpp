// Windows name rules the host applies to disc folders.
#include "host/discs/windows_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wertowik {
namespace {

TEST(WindowsNames, PatternMatching) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.htm", "index.htm", true},     {"*.htm", "INDEX.HTM", true},
        {"*.htm", "poczatek.html", true},  // through the short name POCZAT~1.HTM
        {"*.htm", "a.html", true},         // a.html is no valid short name either
        {"*.htm", "index.htmx", true},    {"*.htm", "index.ht", false},
        {"*.htm", "index.txt", false},    {"*.htm", "htm", false},
        {"*", "anything.at.all", true},   {"*.*", "noextension", true},
        {"?.htm", "a.htm", true},         {"?.htm", "ab.htm", false},
        {"chip.dat", "Chip.DAT", true},   {"p\xB3yta.htm", "P\xA3YTA.HTM", true},  // Windows-1250 letters fold too
        {"*.dbt", "Tabela.dbt", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
    }
}

TEST(WindowsNames, ShortNames) {
    EXPECT_EQ(ShortName("index.htm"), "");
    EXPECT_EQ(ShortName("INDEX.HTM"), "");
    EXPECT_EQ(ShortName("poczatek.html"), "POCZAT~1.HTM");
    EXPECT_EQ(ShortName("long file name.txt"), "LONGFI~1.TXT");
    EXPECT_EQ(ShortName("a.b.c"), "AB~1.C");
}

TEST(WindowsNames, AttributeMaskAndOrder) {
    EXPECT_TRUE(AttributesFit(0x10, 63));
    EXPECT_FALSE(AttributesFit(0x10, 0x20));
    EXPECT_TRUE(AttributesFit(0x20, 0));
    EXPECT_TRUE(AttributesFit(0x01, 0));  // read-only files are always listed
    EXPECT_FALSE(AttributesFit(0x02, 0x10));
    EXPECT_TRUE(NameOrder("a.htm", "B.htm"));
    EXPECT_TRUE(NameOrder("B.htm", "c.htm"));
    EXPECT_TRUE(NameOrder("A.htm", "a.htm"));
    EXPECT_FALSE(NameOrder("a.htm", "a.htm"));
}

// The order is that of the names' folded copies compared as unsigned bytes, the bytes themselves
// breaking a tie: a name before a longer one it begins, letters above 127 after "z".
TEST(WindowsNames, OrderIsThatOfTheFoldedNames) {
    const std::vector<std::string> names = {"",
                                            "a",
                                            "A",
                                            "ab",
                                            "AB",
                                            "aB",
                                            "abc",
                                            "b",
                                            "z",
                                            "Z.htm",
                                            "\xB9",
                                            "\xA5",
                                            "\xB9"
                                            "a",
                                            "\xA5"
                                            "A",
                                            "~",
                                            "_",
                                            "a\xB3",
                                            "A\xA3",
                                            "zz"};
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            const std::string foldedA = FoldCase(a), foldedB = FoldCase(b);
            const bool expected = foldedA != foldedB ? foldedA < foldedB : a < b;
            EXPECT_EQ(NameOrder(a, b), expected) << "'" << a << "' before '" << b << "'";
        }
    }
}

}  // namespace
}  // namespace wertowik
