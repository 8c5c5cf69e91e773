// How a text file arrives as lines and as one page text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wtk::text {

// The file's bytes up to its first NUL byte, broken into lines at CR LF, CR or LF.
std::vector<std::string> SplitTextLines(std::string_view bytes);

// The same lines joined again with CR LF after every line: the text a program page is read as.
std::string PageText(std::string_view bytes);

}  // namespace wtk::text
