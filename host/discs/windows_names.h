// How Windows compares and matches file names, on Windows-1250 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wertowik {

// Upper-cases ASCII and the Windows-1250 letters that have a capital.
std::string FoldCase(std::string_view name);

// The 8.3 short name Windows would give a long name ("poczatek.html" -> "POCZAT~1.HTM"), or the
// empty text when the name already is a valid short name.
std::string ShortName(std::string_view name);

// Whether a name matches a wildcard pattern with * and ?, without regard to case, as a Windows
// search does: the short name is tried too, so "*.htm" finds "index.html".
bool MatchesPattern(std::string_view pattern, std::string_view name);

// Whether a directory search with this attribute mask lists an entry with these attributes:
// hidden, system, volume and directory entries only when the mask asks for them.
bool AttributesFit(uint32_t attributes, uint32_t mask);

// Orders names as a listing shows them: without regard to case, then by bytes.
bool NameOrder(std::string_view a, std::string_view b);

}  // namespace wertowik
