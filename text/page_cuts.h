// Cutting pieces out of page texts by 1-based character positions, as the page routines count them.
#pragma once

#include <cstdint>
#include <string_view>

namespace wtk::text {

// count characters of s from the 1-based position index; an index below 1 counts from the first
// character, and the piece ends early at the end of s. A count of 0 or less gives the empty text.
std::string_view Copy(std::string_view s, int64_t index, int64_t count);

// Length of s as a signed number, for position arithmetic that may go below zero.
inline int64_t Length(std::string_view s) { return static_cast<int64_t>(s.size()); }

// The characters of s before its first "<"; all of s when it holds none.
std::string_view TextBeforeNextTag(std::string_view s);

// Removes the first count characters of s (all of s when it is shorter).
void DeleteFront(std::string_view& s, std::size_t count);

// Removes everything up to and including the first occurrence of marker; nothing when absent.
void CutAfter(std::string_view& s, std::string_view marker);

}  // namespace wtk::text
