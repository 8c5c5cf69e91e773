// The raw copy of a CD: its cue sheet, what the sheet says of the first track (the data track of
// a cover disc), and the file that holds that track's frames.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wertowik {

// How the frames of a data track lie in their file.
enum class TrackMode {
    Mode1Raw,    // MODE1/2352: 16 bytes of sync and header, then the block's 2048 bytes
    Mode2Raw,    // MODE2/2352 (form 1): 24 bytes of sync, header and subheader, then the block
    Mode1Plain,  // MODE1/2048: the blocks back to back, as in a plain image
};

struct CueDataTrack {
    std::string file;  // the file that holds it, as the sheet spells it
    TrackMode mode = TrackMode::Mode1Raw;
    std::optional<uint64_t> nextTrackAt;  // the frame at which the next track in that file begins
};

// The first track of a cue sheet: nothing when the sheet names no file, the track's mode is none
// of MODE1/2352, MODE2/2352 and MODE1/2048, or the track does not begin at its file's first frame.
std::optional<CueDataTrack> FirstTrackOfCueSheet(std::string_view sheet);

// Whether a path names a CD image by its name: a cue sheet (.cue) or the file of its frames (.bin),
// in any letter case.
bool NamesCdImage(const std::filesystem::path& named);

// What a file so named would need to be read as a CD image, as the end of a message that says it
// is not an ISO 9660 image; empty for any other name.
std::string CdImageHint(const std::filesystem::path& named);

struct CdImageFiles {
    std::filesystem::path sheet;
    std::filesystem::path frames;
    CueDataTrack track;
};

// The CD image a path names: a cue sheet (by its name, or by its content when isSheet) and the file of its first track,
// beside it (the sheet may name it by a Windows path, or in other letter case); or a .bin file with the cue sheet of
// the same name beside it, in any letter case. The track's file is looked for in the sheet's folder and below it, never
// above. Only plain files are taken. Nothing when there is no sheet or it says nothing this host can read; a HostError
// (no input) when the file it names is not there.
std::optional<CdImageFiles> FindCdImageFiles(const std::filesystem::path& named, bool isSheet = false);

// The plain file of that name in the folder, the name's letter case aside (as Windows compares
// names, Polish letters included).
std::optional<std::filesystem::path> PlainFileBeside(const std::filesystem::path& folder, const std::string& name);

}  // namespace wertowik
