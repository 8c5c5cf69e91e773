// The host's one UTF-8 reader and writer: which sequences are well-formed, what they spell, and
// every code point written back the way it was read.
#include "host/base/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace wertowik {
namespace {

struct Sequence {
    const char* what;
    std::string_view bytes;
    char32_t code;       // 0 with length 0: refused
    std::size_t length;  // Decode's length
    std::size_t shape;   // SequenceLength
};

const Sequence kSequences[] = {
    {"ASCII", "A", U'A', 1, 0},
    {"two bytes", "\xC5\x82", U'\u0142', 2, 2},
    {"three bytes", "\xE2\x80\xA6", U'\u2026', 3, 3},
    {"four bytes", "\xF0\x9F\x98\x80", U'\U0001F600', 4, 4},
    {"the last code point", "\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4, 4},
    {"overlong two bytes", "\xC0\xAF", 0, 0, 0},
    {"overlong three bytes", "\xE0\x80\xAF", 0, 0, 3},
    {"a surrogate", "\xED\xA0\x80", 0, 0, 3},
    {"above U+10FFFF", "\xF4\x90\x80\x80", 0, 0, 4},
    {"lead byte F5", "\xF5\x80\x80\x80", 0, 0, 0},
    {"lead byte F7", "\xF7\xBF\xBF\xBF", 0, 0, 0},
    {"a stray continuation byte", "\x80", 0, 0, 0},
    {"cut short", "\xE2\x80", 0, 0, 0},
    {"a missing continuation",
     "\xC5"
     "A",
     0, 0, 0},
};

TEST(Utf8, SequencesAreReadOrRefused) {
    for (const Sequence& sequence : kSequences) {
        SCOPED_TRACE(sequence.what);
        const std::optional<utf8::Decoded> decoded = utf8::Decode(sequence.bytes);
        ASSERT_EQ(decoded.has_value(), sequence.length != 0);
        if (decoded) {
            EXPECT_EQ(static_cast<uint32_t>(decoded->code), static_cast<uint32_t>(sequence.code));
            EXPECT_EQ(decoded->length, sequence.length);
            EXPECT_TRUE(utf8::IsValid(sequence.bytes));
            std::string written;
            utf8::Append(written, sequence.code);
            EXPECT_EQ(written, sequence.bytes);
        } else {
            EXPECT_FALSE(utf8::IsValid(sequence.bytes));
        }
        EXPECT_EQ(utf8::SequenceLength(sequence.bytes), sequence.shape);
        EXPECT_EQ(utf8::CharacterLength(sequence.bytes), decoded ? sequence.length : 1);
    }
}

TEST(Utf8, EveryCodePointIsWrittenAsItIsRead) {
    for (char32_t code = 0; code <= 0x10FFFF; code += (code < 0x3000 ? 1 : 0x101)) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        std::string written;
        utf8::Append(written, code);
        const std::optional<utf8::Decoded> decoded = utf8::Decode(written);
        ASSERT_TRUE(decoded) << std::hex << static_cast<uint32_t>(code);
        EXPECT_EQ(static_cast<uint32_t>(decoded->code), static_cast<uint32_t>(code));
        EXPECT_EQ(decoded->length, written.size());
    }
}

TEST(Utf8, AWholeTextIsValidOnlyWhenEveryCharacterIs) {
    EXPECT_TRUE(utf8::IsValid(""));
    EXPECT_TRUE(utf8::IsValid("Źródło danych"));
    EXPECT_FALSE(
        utf8::IsValid("Źródło \xB3"
                      "adne"));
    EXPECT_FALSE(utf8::IsValid("koniec \xC5"));
}

}  // namespace
}  // namespace wertowik
