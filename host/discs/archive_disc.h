// Disc images inside archives (ZIP, 7z, RAR) and compressed streams (.gz, .xz, .bz2), unpacked
// with libarchive: only the members that are disc images or their companions (by their bytes, or
// by their names), each into a private temporary folder that goes again once the images in it are
// open (their files stay open, so nothing is left behind however the host ends later).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/discs/disc_source.h"

namespace wertowik {

// Whether a file's opening bytes are those of an archive or compressed stream read here.
bool IsArchive(std::string_view head);

// At most this many bytes are unpacked from one archive: what a disc image of a double-layer DVD
// can hold, and no more than a ratio to the archive's own size that no real disc image reaches
// (a bomb of zeros is refused when it passes it).
uint64_t UnpackLimit(uint64_t archiveSize);

// A member of an archive, taken for a disc image, that cannot be read as one (cut short, damaged,
// no image after all).
struct UnreadMember {
    std::string member;     // its path in the archive
    std::string reason;     // one line, naming it as ARCHIVE!/MEMBER
    int code = 0;           // the exit status it stands for
    std::size_t place = 0;  // how many of the discs opened come before it in the archive
};

// Most members unpacked from one archive (images and their companions); an archive of more is
// refused with their number rather than registered in part.
inline constexpr std::size_t kMostArchiveMembers = 512;

// Every disc image the archive holds, opened, in the archive's order; Location() of each is the
// archive's path, "!/" and the member's. The images that cannot be read go to unread, so that the
// others are registered all the same; when the only image cannot be read, or there is none, that is
// thrown instead (DiscError, or a HostError for what the host could not do). Throws DiscError too when
// the archive is damaged or encrypted, unpacks to more than UnpackLimit, or holds more than
// kMostArchiveMembers images and companions.
std::vector<std::unique_ptr<DiscSource>> OpenArchiveDiscs(const std::filesystem::path& archive,
                                                          std::vector<UnreadMember>& unread);

// The discs a path holds: a folder's or an image's one, an archive's every one (and its unread ones).
std::vector<std::unique_ptr<DiscSource>> OpenDiscs(const std::filesystem::path& path,
                                                   std::vector<UnreadMember>& unread);

}  // namespace wertowik
