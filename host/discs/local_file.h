// Files of the user's own that the host reads whole: cue sheets, raw streams.
#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

namespace wertowik {

// The bytes of a file, or nothing when it holds more than limit bytes. A folder, or a file that
// cannot be opened (exit 66) or read (exit 74), is a HostError that says why.
std::optional<std::string> ReadLocalFile(const std::filesystem::path& file,
                                         std::size_t limit = std::numeric_limits<std::size_t>::max());

}  // namespace wertowik
