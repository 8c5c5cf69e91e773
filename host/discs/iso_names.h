// How names recorded on an ISO 9660 image become the names a disc shows.
#pragma once

#include <string>
#include <string_view>

namespace wertowik {

// A Joliet name (UTF-16, big-endian, surrogate pairs included) as UTF-8; a lone surrogate becomes
// U+FFFD and an odd last byte is dropped.
std::string JolietNameToUtf8(std::string_view bytes);

// Without the ";1" version suffix, and for an ISO 9660 (not Joliet) name without the dot that
// stands for an empty extension: "README.;1" is README.
std::string PlainName(std::string name, bool joliet);

}  // namespace wertowik
