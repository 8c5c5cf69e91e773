// Fields of TAB-separated lines.
#include "text/tab_field.h"

#include <gtest/gtest.h>

#include <string>

namespace wtk::text {
namespace {

struct FieldCase {
    std::string line;
    int n;
    std::string field;
};

TEST(GetTabField, FieldsBetweenTabs) {
    const FieldCase cases[] = {
        {"12\tFoo 2.0\tA tool\t", 0, "12"},
        {"12\tFoo 2.0\tA tool\t", 1, "Foo 2.0"},
        {"12\tFoo 2.0\tA tool\t", 2, "A tool"},
        {"a\t\tc", 1, ""},
        {"a\t\tc", 0, "a"},
        {"\tx", 0, ""},
        {"\tx", 1, "x"},
        {"a b\t c \t", 1, " c "},  // blanks are kept
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.line + " / " + std::to_string(c.n));
        EXPECT_EQ(GetTabField(c.line, c.n), c.field);
        if (c.n >= 0) {
            EXPECT_EQ(TabFields<6>(c.line).Field(static_cast<std::size_t>(c.n)), c.field);
        }
    }
}

TEST(GetTabField, FieldsAtAndBeyondTheLineEnd) {
    const FieldCase cases[] = {
        {"a\tb", 1, "b"},                  // behind the last TAB: to the line's end
        {"12\tFoo 2.0\tA tool\t", 3, ""},  // behind a closing TAB: nothing is left
        {"12\tFoo 2.0\tA tool\t", 4, ""},  // beyond the TAB count
        {"a\tb", 2, ""},
        {"abc", 0, "abc"},
        {"abc", 1, ""},
        {"", 0, ""},
        {"", 5, ""},
        {"a\tb", -1, ""},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.line + " / " + std::to_string(c.n));
        EXPECT_EQ(GetTabField(c.line, c.n), c.field);
        if (c.n >= 0) {
            EXPECT_EQ(TabFields<6>(c.line).Field(static_cast<std::size_t>(c.n)), c.field);
        }
    }
}

TEST(GetTabField, LongLinesAndHighFieldNumbers) {
    const std::string longField(70000, 'x');
    const std::string line = "1\t" + longField + "\tOpis\t" + longField;
    EXPECT_EQ(GetTabField(line, 1), longField);
    EXPECT_EQ(GetTabField(line, 2), "Opis");
    EXPECT_EQ(GetTabField(line, 3), longField);

    std::string many;
    for (int i = 0; i <= 255; ++i) {
        many += std::to_string(i) + "\t";
    }
    EXPECT_EQ(GetTabField(many, 255), "255");
    EXPECT_EQ(GetTabField(many, 200), "200");
    EXPECT_EQ(GetTabField(many, 256), "");
    const TabFields<256> fields(many);
    EXPECT_EQ(fields.Field(255), "255");
    EXPECT_EQ(fields.Field(0), "0");
    EXPECT_EQ(fields.Field(256), "");
}

// Short fields are searched a word at a time: a TAB at any place of any word, behind bytes next to
// TAB's value or with the high bit set, is found at its own place, from wherever the walk begins.
TEST(FindTab, FindsTheFirstTabFromAnyStart) {
    for (const char filler : {'a', '\x08', '\x0A', '\x89', '\xFF', '\0'}) {
        for (std::size_t length = 1; length <= 80; ++length) {
            for (std::size_t tab = 0; tab < length; ++tab) {
                std::string line(length, filler);
                line[tab] = '\t';
                if (tab + 2 < length) {
                    line[tab + 2] = '\t';  // a later TAB must not be taken instead
                }
                for (std::size_t from = 0; from <= tab; from += 3) {
                    ASSERT_EQ(FindTab(line, from), tab) << int{filler} << " " << length << " " << from;
                }
                if (tab + 2 >= length) {
                    ASSERT_EQ(FindTab(line, tab + 1), std::string_view::npos) << length;
                }
            }
        }
    }
}

// Every line of up to 13 bytes made of TABs and one other byte, so that TABs fall at every place
// of a word, several to a word and across two words; and lines up to 70 bytes with TABs at
// scattered places, so that they fall in blocks of sixteen, in the words behind them and in the
// last bytes: one walk cuts the same fields.
TEST(TabFields, CutsWhatGetTabFieldCutsOnEveryShortLine) {
    const auto check = [](const std::string& line, uint64_t pattern) {
        const TabFields<5> fields(line);
        for (int n = 0; n < 6; ++n) {
            ASSERT_EQ(fields.Field(static_cast<std::size_t>(n)), n < 5 ? GetTabField(line, n) : "")
                << pattern << " " << line.size() << " " << n;
        }
    };
    const auto lineOf = [](std::size_t length, uint64_t pattern, char filler) {
        std::string line(length, filler);
        for (std::size_t i = 0; i < length; ++i) {
            if ((pattern >> (i % 64)) & 1u) {
                line[i] = '\t';
            }
        }
        return line;
    };
    for (std::size_t length = 0; length <= 13; ++length) {
        for (uint32_t pattern = 0; pattern < (1u << length); ++pattern) {
            check(lineOf(length, pattern, 'x'), pattern);
        }
    }
    uint64_t random = 0x9E3779B97F4A7C15u;
    for (std::size_t length = 14; length <= 70; ++length) {
        for (int round = 0; round < 400; ++round) {
            random ^= random << 13;
            random ^= random >> 7;
            random ^= random << 17;
            // Few TABs, so that the fields wanted reach into the later blocks.
            const uint64_t pattern = random & (random >> 11) & (random >> 23);
            check(lineOf(length, pattern, round % 2 == 0 ? 'x' : '\x89'), pattern);
        }
    }
}

}  // namespace
}  // namespace wtk::text
