// The catalogue's values as people give and read them: disc identifiers and licences.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wertowik {

// A disc identifier from 1 to 65535, else a usage error.
uint16_t ParseDiscId(const std::string& text);

// The licence names the catalogue shows and the search filter takes, by code 0 to 7.
const std::vector<std::string>& LicenceNames();
// The name of a licence code ("code 9" for one outside the table).
std::string LicenceName(int code);
// A licence given by name or by code; nothing when it is neither.
std::optional<uint8_t> ParseLicence(std::string_view text);

}  // namespace wertowik
