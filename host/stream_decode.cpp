#include "stream_decode.h"

#include <cstring>

namespace wertowik {

Decoded<DecodedDisc> DecodeDiscStream(std::string_view bytes) {
    Decoded<DecodedDisc> decoded;
    std::size_t at = 0;
    while (at < bytes.size()) {
        DecodedDisc disc;
        if (bytes.size() - at < sizeof disc.record) {
            decoded.truncatedAt = at;
            break;
        }
        std::memcpy(&disc.record, bytes.data() + at, sizeof disc.record);
        const std::size_t nameAt = at + sizeof disc.record;
        if (bytes.size() - nameAt < disc.record.NameLength) {
            decoded.truncatedAt = at;
            break;
        }
        disc.name = std::string(bytes.substr(nameAt, disc.record.NameLength));
        at = nameAt + disc.record.NameLength;
        decoded.records.push_back(std::move(disc));
    }
    return decoded;
}

Decoded<DecodedEntry> DecodeEntryStream(std::string_view bytes) {
    Decoded<DecodedEntry> decoded;
    std::size_t at = 0;
    while (at < bytes.size()) {
        DecodedEntry entry;
        if (bytes.size() - at < sizeof entry.header) {
            decoded.truncatedAt = at;
            break;
        }
        std::memcpy(&entry.header, bytes.data() + at, sizeof entry.header);
        const std::size_t textAt = at + sizeof entry.header;
        const std::size_t total = std::size_t{entry.header.NameLength} + entry.header.VersionLength +
                                  entry.header.DescriptionLength;
        if (bytes.size() - textAt < total) {
            decoded.truncatedAt = at;
            break;
        }
        std::string_view texts = bytes.substr(textAt, total);
        entry.name = std::string(texts.substr(0, entry.header.NameLength));
        entry.version = std::string(texts.substr(entry.header.NameLength, entry.header.VersionLength));
        entry.description = std::string(texts.substr(entry.header.NameLength + entry.header.VersionLength));
        at = textAt + total;
        decoded.records.push_back(std::move(entry));
    }
    return decoded;
}

std::string LabelText(const wtk::TDiscRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.Label + 1), wtk::LabelLength(record));
}

}  // namespace wertowik
