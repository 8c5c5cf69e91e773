// The JSON the host prints for scripts; every text converted from Windows-1250 to UTF-8.
#pragma once

#include <nlohmann/json.hpp>

#include "host/modules/registration.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

nlohmann::json BoxJson(const BoxRecord& box);
nlohmann::json DiscJson(const DecodedDisc& disc);
nlohmann::json EntryJson(const DecodedEntry& entry);
// The discs and entries of two streams, with where each is cut short (null when it is not).
nlohmann::json StreamsJson(std::string_view discStream, std::string_view entryStream);
nlohmann::json OutcomeJson(const Outcome& outcome);

// The JSON text; a string that is not UTF-8 (a path named in another code page) has each of its
// stray bytes shown as U+FFFD instead of failing the output; characters that steer a terminal are
// written as \u escapes.
std::string JsonText(const nlohmann::json& value, int indent = -1);

}  // namespace wertowik
