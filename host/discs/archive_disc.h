// Disc images inside archives (ZIP, 7z, RAR) and compressed streams (.gz, .xz, .bz2), unpacked
// with libarchive: only the members that are disc images or their companions (by their bytes, or
// by their names), each into a private temporary folder that goes again once the images in it are
// open (their files stay open, so nothing is left behind however the host ends later).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
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

// Every disc image the archive holds, opened, in the archive's order; Location() of each is the
// archive's path, "!/" and the member's. Throws DiscError when it holds none, holds one that cannot
// be read, is damaged or encrypted, or unpacks to more than UnpackLimit.
std::vector<std::unique_ptr<DiscSource>> OpenArchiveDiscs(const std::filesystem::path& archive);

// The discs a path holds: a folder's or an image's one, an archive's every one.
std::vector<std::unique_ptr<DiscSource>> OpenDiscs(const std::filesystem::path& path);

}  // namespace wertowik
