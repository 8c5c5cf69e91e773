// The two files of the raw copy of a CD: its cue sheet, and the file that holds the frames of its
// first track (the data track of a cover disc).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wertowik {

struct CdImageFiles {
    std::filesystem::path sheet;
    std::filesystem::path frames;
};

// The name of the first file a cue sheet names (its FILE line, quoted or not), as the sheet spells it.
std::optional<std::string> FirstFileOfCueSheet(std::string_view sheet);

// The files of the CD image a path names: a cue sheet and the first file it names, beside it (the
// sheet may name it by a Windows path, or in other letter case); or a .bin file and the cue sheet
// of the same name beside it, in any letter case. Nothing when either is missing.
std::optional<CdImageFiles> FindCdImageFiles(const std::filesystem::path& named);

}  // namespace wertowik
