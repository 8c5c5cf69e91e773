// The disc image formats this host knows, each in one place: the names its files go by and what
// its opening bytes look like. An archive's members are taken or left by them, descriptors told
// from images by them; LocateDataTrack (image_layout.h) reads each format's data track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string_view>
#include <vector>

namespace wertowik {

// What is read of a file to tell its format by its opening bytes: enough for the sixteenth sector
// of any layout.
inline constexpr std::size_t kImageHead = 64 * 1024;

struct ImageFormat {
    const char* name;
    // The extensions its files go by, the image's and its companions', in capitals.
    std::vector<std::string_view> extensions;
    // Whether opening bytes are of this format; nullptr for a format known by its end alone.
    bool (*opensAs)(std::string_view head);
    // A descriptor of frames that lie in a file beside it.
    bool describesFrames = false;
    // The longest file of this format there is (a cue sheet is a short text).
    uint64_t longest = std::numeric_limits<uint64_t>::max();
};

// Every format: raw frames or plain blocks, cue sheets, Alcohol, CloneCD, Nero, CHD, DiscJuggler.
const std::vector<ImageFormat>& ImageFormats();

// Whether a file's name is one a disc image or its companion goes by, the letter case aside.
bool NamesImageFile(const std::filesystem::path& name);
// Whether opening bytes are those of an image or a descriptor of any format.
bool OpensAsImage(std::string_view head);
// Whether the file is a descriptor of frames beside it: a cue sheet, an Alcohol descriptor or a
// CloneCD control file.
bool IsDescriptorFile(const std::filesystem::path& file);
// Whether the file's opening bytes are a cue sheet whose first track this host can read.
bool HoldsCueSheet(const std::filesystem::path& file);
// Whether opening bytes are those of a CHD image, which this host cannot read.
bool OpensAsChd(std::string_view head);

}  // namespace wertowik
