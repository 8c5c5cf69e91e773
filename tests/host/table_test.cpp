// Terminal tables: widths in characters, cut cells, alignment.
#include "host/report/table.h"

#include <gtest/gtest.h>

#include "host/base/terminal_text.h"

namespace wertowik {
namespace {

TEST(Table, CellsAreCutToTheirWidthInCharacters) {
    struct Case {
        std::string text;
        std::size_t width;
        std::string fitted;
    };
    const std::vector<Case> cases = {
        {"Pasjans", 10, "Pasjans"},
        {"Pasjans", 7, "Pasjans"},
        {"Pasjans", 6, "Pasja\xE2\x80\xA6"},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         4,
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA"},  // Łódź: 4 characters, 7 bytes
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         3, "\xC5\x81\xC3\xB3\xE2\x80\xA6"},
        {"a\r\nb\tc", 10, "a  b c"},
        {"abc", 1, "\xE2\x80\xA6"},
        {"abc", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitCell(c.text, c.width), c.fitted) << c.text << " " << c.width;
    }
    EXPECT_EQ(DisplayWidth("\xC5\xB9r\xC3\xB3"
                           "d\xC5\x82o"),
              6u);
}

TEST(TerminalText, WhatWouldSteerTheTerminalIsShownAndTheRestKept) {
    struct Case {
        std::string text, shown;
    };
    const std::vector<Case> cases = {
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA C:\\x",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA C:\\x"},  // letters and backslashes stay
        {"a\x1B]0;t\x07\n\r\tb\x7F", "a\\x1b]0;t\\x07\\n\\r\\tb\\x7f"},
        {"\xC2\x9B"
         "6n\xC2\x85",
         "\\u009b6n\\u0085"},                                          // C1 controls
        {"\xE2\x80\xAEgpj.exe\xE2\x80\x8B", "\\u202egpj.exe\\u200b"},  // direction override, zero width
        {"\xF3\xA0\x80\x81", "\\U000e0001"},                           // a tag
        {"\x9B\xFF\xC3", "\\x9b\\xff\\xc3"},                           // no UTF-8
        {"\xC0\x9B\xED\xA0\x80", "\\xc0\\x9b\\xed\\xa0\\x80"},         // overlong, surrogate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ForTerminal(c.text), c.shown);
    }
    EXPECT_EQ(EscapeNonPrintingInJson("[\"\xC2\x9B\x7F\xF3\xA0\x80\x81\xC5\x81\"]"),
              "[\"\\u009b\\u007f\\udb40\\udc01\xC5\x81\"]");
}

TEST(Table, ColumnsLineUpByCharacters) {
    TextTable table({"ID", "Disc", "Programs"});
    table.AlignRight(0);
    table.AlignRight(2);
    table.LimitWidth(1, 8);
    table.AddRow({"1",
                  "\xC5\x81\xC3\xB3"
                  "d\xC5\xBA",
                  "12"});
    table.AddRow({"100", "A very long disc name", "3"});
    const std::string expected =
        " ID  Disc      Programs\n"
        "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80  \xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80"
        "\xE2\x94\x80\xE2\x94\x80  \xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80"
        "\xE2\x94\x80\n"
        "  1  \xC5\x81\xC3\xB3"
        "d\xC5\xBA            12\n"
        "100  A very \xE2\x80\xA6         3\n";
    EXPECT_EQ(table.Render(), expected);
    EXPECT_EQ(table.rows(), 2u);
}

}  // namespace
}  // namespace wertowik
