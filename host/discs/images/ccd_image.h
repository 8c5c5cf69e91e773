// CloneCD images: the frames (.img, always 2352 bytes each, the subchannel apart in .sub) and the
// control file (.ccd), a text of [Sections] with Key=Value lines: [CloneCD], [Disc], [Session N],
// an [Entry N] per entry of the table of contents, a [TRACK N] per track.
#pragma once

#include <optional>
#include <string_view>

#include "host/discs/images/image_blocks.h"

namespace wertowik {

// Whether a text opens as a control file does: "[CloneCD]" on its first line.
bool IsCcdControlFile(std::string_view head);

// The first track (the entry of point 1): audio or data (bit 2 of its control), where it begins
// (its PLBA, in frames), where it ends (the next track's or the lead-out's PLBA) and its mode
// ([TRACK 1]'s MODE). Nothing when the file names no first track.
std::optional<DescribedTrack> FirstTrackOfCcd(std::string_view text);

}  // namespace wertowik
