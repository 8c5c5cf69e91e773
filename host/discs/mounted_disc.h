// A disc in a drive, mounted as a folder: its label is not in the folder but on the device.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wertowik {

// What the last mount on a folder mounted there, as a mountinfo text (/proc/self/mountinfo) says:
// the source field of the mount whose mount point is the folder; nothing when the folder is no
// mount point. The folder is compared as given, so it should be a canonical path.
std::optional<std::string> MountSource(const std::string& folder, std::string_view mountinfo);

// The volume label of the disc in the block device mounted at a folder, read from the device's
// volume descriptors (the Joliet one first, as for an image); nothing when the folder is no mount
// point of a block device, or the device cannot be read as a disc.
std::optional<std::string> MountedDiscLabel(const std::filesystem::path& folder);

}  // namespace wertowik
