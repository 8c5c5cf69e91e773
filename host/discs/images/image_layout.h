// What kind of disc image a file is, told by its bytes: a cue sheet's text, the descriptors of
// Alcohol (.mds) and CloneCD (.ccd) images, a Nero image's footer, raw frames by their sync
// pattern, plain blocks by their volume descriptor. The name only breaks ties: frames whose
// descriptor of the same name lies beside them are read as it describes them.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "host/discs/images/image_blocks.h"
#include "host/discs/images/image_formats.h"

namespace wertowik {

// The data track a file holds or its descriptor describes; nothing when its bytes are of no kind
// this host knows. Throws a DiscError that names the format and a Debian tool that converts it
// for an image this host cannot read (a CHD or CDI image, a disc whose first track is audio), and
// a HostError (no input) when a descriptor's frames are not beside it.
std::optional<DataTrack> LocateDataTrack(const std::filesystem::path& file);

}  // namespace wertowik
