// Fields of a TAB-separated line.
#pragma once

#include <string>
#include <string_view>

namespace wtk::text {

// Field n (0-based) of the line: the text between the n-th and the (n+1)-th TAB (field 0 starts
// the line); a field behind the last TAB runs to the line's end; a field past the last TAB is
// empty. Trailing TABs of the result are removed.
std::string GetTabField(std::string_view line, int n);

}  // namespace wtk::text
