// Reading back what a library wrote into the two streams.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"

namespace wertowik {

struct DecodedDisc {
    wtk::TDiscRecord record{};
    std::string name;  // Windows-1250
};

struct DecodedEntry {
    wtk::TEntryHeader header{};
    std::string name, version, description;  // Windows-1250
};

// Records read to the end of a stream, or to where one is cut short.
template <typename Record>
struct Decoded {
    std::vector<Record> records;
    // The offset of a record the stream ends inside, if it does.
    std::optional<std::size_t> truncatedAt;
};

Decoded<DecodedDisc> DecodeDiscStream(std::string_view bytes);
Decoded<DecodedEntry> DecodeEntryStream(std::string_view bytes);

// The label text of a record (its length byte, at most 14, says how much).
std::string LabelText(const wtk::TDiscRecord& record);

}  // namespace wertowik
