// Alcohol images: the frames (.mdf) and their descriptor (.mds), a binary file that opens with
// "MEDIA DESCRIPTOR" and holds a block per session, each pointing at its track blocks.
#pragma once

#include <optional>
#include <string_view>

#include "host/discs/images/image_blocks.h"

namespace wertowik {

bool IsMdsDescriptor(std::string_view head);

// The first track (point 1) of the first session: its mode (audio or data), sector size, place in
// the .mdf, length and the name of its file ("*.mdf" or empty: the descriptor's own name with
// .mdf). Nothing for a damaged descriptor.
std::optional<DescribedTrack> FirstTrackOfMds(std::string_view descriptor);

}  // namespace wertowik
