#include "host/discs/images/nrg_image.h"

#include "host/base/bytes.h"

namespace wertowik {

namespace {

// A track's mode in the track tables: the sector size it implies, and whether it is audio.
struct NrgMode {
    uint32_t sectorSize;
    int mode;
    bool audio;
};

std::optional<NrgMode> ModeOf(unsigned value) {
    switch (value) {
        case 0x00: return NrgMode{2048, 1, false};
        case 0x02: return NrgMode{2048, 2, false};
        case 0x03: return NrgMode{2336, 2, false};
        case 0x05: return NrgMode{2352, 1, false};
        case 0x06: return NrgMode{2352, 2, false};
        case 0x07: return NrgMode{2352, 1, true};
        case 0x0F: return NrgMode{2448, 1, false};
        case 0x10: return NrgMode{2448, 1, true};
        case 0x11: return NrgMode{2448, 2, false};
        default: return std::nullopt;
    }
}

// The disc-at-once table: a 22-byte head (its size again, the catalogue number, the TOC type, the
// first and last track), then a record per track: its ISRC, sector size, mode, and the offsets of
// its index 0, its index 1 and its end, 32 or 64 bits each.
std::optional<DescribedTrack> FromDao(std::string_view data, bool wide) {
    constexpr std::size_t kHead = 22;
    const std::size_t width = wide ? 8 : 4;
    if (data.size() < kHead + 18 + 3 * width) {
        return std::nullopt;
    }
    const std::string_view entry = data.substr(kHead);
    const uint64_t sectorSize = bytes::Big(entry, 12, 2);
    // A mode byte of no known value leaves the track to its sector size and its frames' headers.
    const NrgMode mode = ModeOf(static_cast<unsigned char>(entry[14])).value_or(NrgMode{0, 1, false});
    const uint64_t start = bytes::Big(entry, 18 + width, width);
    const uint64_t end = bytes::Big(entry, 18 + 2 * width, width);
    if (sectorSize == 0 || end < start) {
        return std::nullopt;
    }
    DescribedTrack track;
    track.audio = mode.audio;
    track.offset = start;
    track.sectorSize = static_cast<uint32_t>(sectorSize);
    track.mode = mode.mode;
    track.sectors = (end - start) / sectorSize;
    return track;
}

// The track-at-once table: a record per track of its offset and length, 32 or 64 bits each, then
// its mode and start address.
std::optional<DescribedTrack> FromEtn(std::string_view data, bool wide) {
    const std::size_t width = wide ? 8 : 4;
    if (data.size() < 2 * width + 4) {
        return std::nullopt;
    }
    const std::optional<NrgMode> mode = ModeOf(static_cast<unsigned>(bytes::Big(data, 2 * width, 4)));
    if (!mode) {
        return std::nullopt;
    }
    DescribedTrack track;
    track.audio = mode->audio;
    track.offset = bytes::Big(data, 0, width);
    track.sectorSize = mode->sectorSize;
    track.mode = mode->mode;
    track.sectors = bytes::Big(data, width, width) / mode->sectorSize;
    return track;
}

// Whether the cue chunk says the first track is audio: its entries of 8 bytes hold the control
// and address byte (0x41 data, 0x01 audio), the track number, the index.
std::optional<bool> AudioInCues(std::string_view data) {
    for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
        if (data[at + 1] == 1) {  // the first track, in BCD
            return (static_cast<unsigned char>(data[at]) & 0x40) == 0;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<NrgFooter> NrgFooterOf(std::string_view last, uint64_t fileSize) {
    // A footer whose offset lies outside the file stands for no chunks at all.
    if (last.size() >= 12 && last.substr(last.size() - 12, 4) == "NER5") {
        const uint64_t at = bytes::Big(last, last.size() - 8, 8);
        return NrgFooter{at < fileSize - 12 ? at : fileSize - 12, fileSize - 12};
    }
    if (last.size() >= 8 && last.substr(last.size() - 8, 4) == "NERO") {
        const uint64_t at = bytes::Big(last, last.size() - 4, 4);
        return NrgFooter{at < fileSize - 8 ? at : fileSize - 8, fileSize - 8};
    }
    return std::nullopt;
}

std::optional<DescribedTrack> FirstTrackOfNrg(std::string_view chunks) {
    std::optional<DescribedTrack> track;
    std::optional<bool> audio;
    while (chunks.size() >= 8) {
        const std::string_view id = chunks.substr(0, 4);
        const uint64_t size = bytes::Big(chunks, 4, 4);
        if (id == "END!" || size > chunks.size() - 8) {
            break;
        }
        const std::string_view data = chunks.substr(8, static_cast<std::size_t>(size));
        chunks.remove_prefix(8 + static_cast<std::size_t>(size));
        if (track) {
            // the first table found is the disc's
        } else if (id == "DAOX" || id == "DAOI") {
            track = FromDao(data, id == "DAOX");
        } else if (id == "ETN2" || id == "ETNF") {
            track = FromEtn(data, id == "ETN2");
        }
        if ((id == "CUEX" || id == "CUES") && !audio) {
            audio = AudioInCues(data);
        }
    }
    if (track && audio) {
        track->audio = track->audio || *audio;
    }
    return track;
}

}  // namespace wertowik
