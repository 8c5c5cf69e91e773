// Text rules every routine shares: Windows-1250 byte strings, 1-based positions where an
// algorithm counts them, trimming of codes 32 and below, lower-casing of A to Z only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wtk::text {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Removes every leading and trailing byte whose code is 32 or below. Inline: the name and version
// splitter trims a few short texts per title.
inline std::string_view Trim(std::string_view s) {
    std::size_t first = 0;
    while (first < s.size() && static_cast<unsigned char>(s[first]) <= 32) {
        ++first;
    }
    std::size_t last = s.size();
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32) {
        --last;
    }
    return s.substr(first, last - first);
}

// Lower-cases the letters A to Z; every other byte stays.
std::string LowerAscii(std::string_view s);

// 1-based position of the first occurrence of needle in s, 0 when absent.
std::size_t Pos(std::string_view needle, std::string_view s);

namespace detail {
// Every text ParseInteger takes: sign, overflow and the errors.
int32_t ParseIntegerInGeneral(std::string_view s);
}  // namespace detail

// The value of a decimal integer text: optional sign and digits only, nothing around them.
// Throws PluginError for anything else (empty, letters, blanks, out of 32-bit range).
inline int32_t ParseInteger(std::string_view s) {
    // Most texts are a few plain digits, read here where the caller stands: up to nine of them
    // cannot overflow. Anything else takes the general path.
    constexpr std::size_t kDigitsThatFit = 9;
    if (!s.empty() && s.size() <= kDigitsThatFit) {
        int32_t value = 0;
        std::size_t i = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i) {
            value = value * 10 + (s[i] - '0');
        }
        if (i == s.size()) {
            return value;
        }
    }
    return detail::ParseIntegerInGeneral(s);
}

}  // namespace wtk::text
