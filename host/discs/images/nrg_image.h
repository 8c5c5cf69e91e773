// Nero images (.nrg): the disc's tracks, then a chain of chunks that describe them, found from
// the footer at the file's end ("NERO" and a 32-bit offset, or "NER5" and a 64-bit one).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "host/discs/images/image_blocks.h"

namespace wertowik {

struct NrgFooter {
    uint64_t chunksAt = 0;
    uint64_t chunksEnd = 0;  // where the footer begins
};

// The footer of a file of that size from its last 12 bytes (fewer when the file is shorter).
std::optional<NrgFooter> NrgFooterOf(std::string_view last, uint64_t fileSize);

// The first track as the chunks tell it (the chunk names tell the width of their numbers: DAOX
// and ETN2 are the 64-bit tables of NER5 images): its place, sector size and mode from the disc-at-once
// table (DAOI, DAOX) or the track-at-once one (ETNF, ETN2), whether it is audio from there or the
// cue chunk (CUES, CUEX). Nothing when the chunks hold no track table, or a damaged one.
std::optional<DescribedTrack> FirstTrackOfNrg(std::string_view chunks);

}  // namespace wertowik
