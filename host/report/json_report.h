// The JSON the host prints for scripts; every text converted from Windows-1250 to UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>
#include <vector>

#include "host/modules/registration.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

nlohmann::json BoxJson(const BoxRecord& box);
nlohmann::json DiscJson(const DecodedDisc& disc);
nlohmann::json EntryJson(const DecodedEntry& entry);
// The discs and entries of two streams, with where each is cut short (null when it is not).
nlohmann::json StreamsJson(std::string_view discStream, std::string_view entryStream);
nlohmann::json EntryJson(const EntryView& entry);
// With Entries::Later the registered entries and progress values are left out, each marked by a
// placeholder, for WriteOutcomeReport to write them as it reads them.
enum class Entries { Within, Later };
nlohmann::json OutcomeJson(const Outcome& outcome, Entries entries = Entries::Within);

// The text JsonText(report, 2) gives for a report made with Entries::Later from a registration
// whose entry stream and progress values are given, written out as it is made: a large disc's
// entries never stand in memory as one document. Ends with a line break.
void WriteOutcomeReport(std::ostream& out, const nlohmann::json& report, std::string_view entryStream,
                        const std::vector<int32_t>& progress);

// The JSON text; a string that is not UTF-8 (a path named in another code page) has each of its
// stray bytes shown as U+FFFD instead of failing the output; characters that steer a terminal are
// written as \u escapes.
std::string JsonText(const nlohmann::json& value, int indent = -1);

}  // namespace wertowik
