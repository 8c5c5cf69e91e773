// UTF-8 read and written: the one place that knows how characters are spelt in bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wertowik::utf8 {

struct Decoded {
    char32_t code;
    std::size_t length;  // bytes, 1 to 4
};

// The well-formed UTF-8 sequence at the start of the text (no overlong form, no surrogate, nothing
// above U+10FFFF); nothing when none stands there, the text is empty included.
std::optional<Decoded> Decode(std::string_view text);

// The length of the sequence at the start of the text by its shape alone: a lead byte from C2 to
// F4 and as many continuation bytes as it announces. 0 when none stands there. For text that a
// stricter reader (iconv) judges next.
std::size_t SequenceLength(std::string_view text);

// How many bytes the character at the start of a non-empty text takes: its well-formed sequence,
// else 1 for the stray byte.
inline std::size_t CharacterLength(std::string_view text) {
    const std::optional<Decoded> decoded = Decode(text);
    return decoded ? decoded->length : 1;
}

// Whether the whole text is well-formed UTF-8.
bool IsValid(std::string_view text);

// The character appended in UTF-8 (a code point up to U+10FFFF).
void Append(std::string& out, char32_t code);

}  // namespace wertowik::utf8
