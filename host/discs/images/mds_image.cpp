#include "host/discs/images/mds_image.h"

#include "host/base/bytes.h"

namespace wertowik {

namespace {

constexpr std::string_view kSignature = "MEDIA DESCRIPTOR";
constexpr std::size_t kSessionsAt = 0x50;  // the header's offset of the first session block
constexpr std::size_t kSessionBlock = 24;
constexpr std::size_t kTrackBlock = 80;
constexpr std::size_t kLongestName = 1024;

// The bytes at that offset, when the descriptor holds them all.
std::optional<std::string_view> Within(std::string_view bytes, uint64_t at, std::size_t size) {
    if (at > bytes.size() || size > bytes.size() - at) {
        return std::nullopt;
    }
    return bytes.substr(static_cast<std::size_t>(at), size);
}

// The file name a track's filename block points at: narrow or wide (UTF-16, taken as its low
// bytes, as the names are of the file beside the descriptor).
std::string FileNameOf(std::string_view descriptor, std::string_view track) {
    const uint64_t count = bytes::Little(track, 0x30, 4);
    const std::optional<std::string_view> block = Within(descriptor, bytes::Little(track, 0x34, 4), 16);
    if (count == 0 || !block) {
        return "";
    }
    const uint64_t at = bytes::Little(*block, 0, 4);
    const bool wide = (*block)[4] != 0;
    std::string name;
    for (uint64_t i = at; i < descriptor.size() && name.size() < kLongestName; i += wide ? 2 : 1) {
        if (descriptor[static_cast<std::size_t>(i)] == '\0' &&
            (!wide || i + 1 >= descriptor.size() || descriptor[static_cast<std::size_t>(i + 1)] == '\0')) {
            break;
        }
        name += descriptor[static_cast<std::size_t>(i)];
    }
    return name;
}

}  // namespace

bool IsMdsDescriptor(std::string_view head) { return head.substr(0, kSignature.size()) == kSignature; }

std::optional<DescribedTrack> FirstTrackOfMds(std::string_view descriptor) {
    if (!IsMdsDescriptor(descriptor) || descriptor.size() < kSessionsAt + 4) {
        return std::nullopt;
    }
    const std::optional<std::string_view> session =
        Within(descriptor, bytes::Little(descriptor, kSessionsAt, 4), kSessionBlock);
    if (!session) {
        return std::nullopt;
    }
    // The session's count of track blocks (a descriptor that leaves it 0 is searched for as many
    // as a disc can have: 99 tracks and the lead-in's three).
    const std::size_t counted = static_cast<unsigned char>((*session)[0x0A]);
    const std::size_t blocks = counted == 0 ? 102 : counted;
    const uint64_t tracksAt = bytes::Little(*session, 0x14, 4);
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::optional<std::string_view> track = Within(descriptor, tracksAt + i * kTrackBlock, kTrackBlock);
        if (!track) {
            break;
        }
        if ((*track)[4] != 1) {
            continue;  // the lead-in's entries (points A0 to A2) and the later tracks
        }
        const unsigned mode = static_cast<unsigned char>((*track)[0]) & 0x0F;
        DescribedTrack described;
        described.audio = mode == 0x09;
        described.mode = mode == 0x0A ? 1 : 2;
        const uint64_t sectorSize = bytes::Little(*track, 0x10, 2);
        if (sectorSize == 0 || sectorSize > 0xFFFF) {
            return std::nullopt;
        }
        described.sectorSize = static_cast<uint32_t>(sectorSize);
        described.offset = bytes::Little(*track, 0x28, 8);
        // The index block: the sectors of index 0 and of index 1, the track's own.
        if (const std::optional<std::string_view> index = Within(descriptor, bytes::Little(*track, 0x0C, 4), 8);
            index && bytes::Little(*track, 0x0C, 4) != 0 && bytes::Little(*index, 4, 4) != 0) {
            described.sectors = bytes::Little(*index, 4, 4);
        }
        described.file = FileNameOf(descriptor, *track);
        return described;
    }
    return std::nullopt;
}

}  // namespace wertowik
