// The catalogue as the commands write it for scripts (--json, export) and the web view's API
// answers it: one shape for both.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "host/catalogue/catalogue.h"

namespace wertowik {

nlohmann::json DiscJson(const DiscRow& disc);
nlohmann::json ProgramJson(const ProgramRow& program);
nlohmann::json FileJson(const FileRow& file);

// A disc record's bytes as hex digits, two to a byte.
std::string RecordHex(std::string_view bytes);

}  // namespace wertowik
