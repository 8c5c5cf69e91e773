// Texts the way people read them. The libraries hand over what the discs' pages hold, HTML
// entities included ("Tom &amp; Jerry"); the catalogue keeps those bytes as they are and shows,
// indexes and searches the text they stand for.
#pragma once

#include <string>
#include <string_view>

namespace wertowik {

// UTF-8 with the HTML entities a page may hold decoded: &amp; &lt; &gt; &quot; &apos; &nbsp;, the
// named entities of Latin-1 and the common typographic ones, and numeric ones (&#322; &#x142;).
// Anything else that starts with & is kept as it is.
std::string DecodeEntities(std::string_view utf8);

// A library's Windows-1250 text as it is shown: converted to UTF-8, entities decoded.
std::string DisplayText(std::string_view cp1250);

// A file name as a disc or a file system spells it, as UTF-8: kept when it is UTF-8 already, else
// read as Windows-1250 (a copy of a Windows disc made on a system of that code page).
std::string NameToUtf8(std::string_view bytes);

}  // namespace wertowik
