// Windows-1250 <-> UTF-8, through a table learnt from iconv (iconv itself for what it lacks).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wertowik {

// Every byte converted; the five codes Windows-1250 leaves undefined become U+FFFD.
std::string Cp1250ToUtf8(std::string_view text);

// Nothing when the text is not valid UTF-8 or holds a character Windows-1250 lacks.
std::optional<std::string> Utf8ToCp1250(std::string_view text);

// Whether utf8 converts (as Utf8ToCp1250 does it) to exactly the bytes cp1250, without making the
// converted copy.
bool ConvertsBackTo(std::string_view utf8, std::string_view cp1250);

// A file or label name from the outside world as the libraries see it: converted when it is
// UTF-8 that Windows-1250 can hold, else its bytes as they are.
std::string NameToCp1250(std::string_view text);

// A volume label given as UTF-8: converted, with "?" for each character Windows-1250 lacks; a
// label that is not UTF-8 is taken to be Windows-1250 already and kept as it is.
std::string LabelToCp1250(std::string_view text);

}  // namespace wertowik
