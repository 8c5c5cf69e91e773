#include "host/modules/stream_decode.h"

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
    decoded.truncatedAt = WalkEntryStream(bytes, [&](const EntryView& view) {
        decoded.records.push_back(DecodedEntry{view.header, std::string(view.name), std::string(view.version),
                                               std::string(view.description)});
    });
    return decoded;
}

std::string LabelText(const wtk::TDiscRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.Label + 1), wtk::LabelLength(record));
}

}  // namespace wertowik
