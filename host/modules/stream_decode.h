// Reading back what a library wrote into the two streams.
#pragma once

#include <cstddef>
#include <cstring>
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

// The texts of one entry, pointing into the stream.
struct EntryView {
    wtk::TEntryHeader header{};
    std::string_view name, version, description;
};

// How far ahead of an entry the walk asks for the stream's memory.
inline constexpr std::size_t kWalkPrefetchDistance = 2048;

// Calls visit(const EntryView&) for every whole entry, in order, without copying a text; returns
// the offset of an entry the stream ends inside, if it does.
template <typename Visit>
std::optional<std::size_t> WalkEntryStream(std::string_view bytes, Visit visit) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        // Each entry's place depends on the lengths before it, so the memory ahead is asked for
        // early; a long stream is otherwise one cache miss per entry, one after the other.
        __builtin_prefetch(bytes.data() + at + kWalkPrefetchDistance);
        EntryView entry;
        if (bytes.size() - at < sizeof entry.header) {
            return at;
        }
        std::memcpy(&entry.header, bytes.data() + at, sizeof entry.header);
        const std::size_t textAt = at + sizeof entry.header;
        const std::size_t nameLength = entry.header.NameLength, versionLength = entry.header.VersionLength;
        const std::size_t total = nameLength + versionLength + entry.header.DescriptionLength;
        if (bytes.size() - textAt < total) {
            return at;
        }
        const std::string_view texts = bytes.substr(textAt, total);
        entry.name = texts.substr(0, nameLength);
        entry.version = texts.substr(nameLength, versionLength);
        entry.description = texts.substr(nameLength + versionLength);
        visit(static_cast<const EntryView&>(entry));
        at = textAt + total;
    }
    return std::nullopt;
}

// The label text of a record (its length byte, at most 14, says how much).
std::string LabelText(const wtk::TDiscRecord& record);

}  // namespace wertowik
