// Text rules every routine shares: Windows-1250 byte strings, 1-based positions where an
// algorithm counts them, trimming of codes 32 and below, lower-casing of A to Z only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wtk::text {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Removes every leading and trailing byte whose code is 32 or below.
std::string_view Trim(std::string_view s);

// Lower-cases the letters A to Z; every other byte stays.
std::string LowerAscii(std::string_view s);

// 1-based position of the first occurrence of needle in s, 0 when absent.
std::size_t Pos(std::string_view needle, std::string_view s);

// The value of a decimal integer text: optional sign and digits only, nothing around them.
// Throws PluginError for anything else (empty, letters, blanks, out of 32-bit range).
int32_t ParseInteger(std::string_view s);

}  // namespace wtk::text
