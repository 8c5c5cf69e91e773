#include "host/discs/images/image_layout.h"

#include <algorithm>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/discs/disc_source.h"
#include "host/discs/images/ccd_image.h"
#include "host/discs/images/cd_image_files.h"
#include "host/discs/images/image_formats.h"
#include "host/discs/images/mds_image.h"
#include "host/discs/images/nrg_image.h"
#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHead = kImageHead;
constexpr std::size_t kLongestDescriptor = 1 << 20;  // a descriptor of 99 tracks is a few KB

// Whether the bytes can be a text: no NUL among them.
bool IsText(std::string_view bytes) { return bytes.find('\0') == std::string_view::npos; }

// The mode word of a cue sheet's first TRACK line, in capitals; empty when it has none.
std::string FirstTrackMode(std::string_view sheet) {
    while (!sheet.empty()) {
        const std::size_t end = sheet.find_first_of("\r\n");
        std::string line = FoldCase(sheet.substr(0, end));
        sheet.remove_prefix(end == std::string_view::npos ? sheet.size() : end + 1);
        line.erase(0, line.find_first_not_of(" \t"));
        if (line.rfind("TRACK", 0) == 0) {
            const std::size_t number = line.find_first_not_of(" \t", 5);
            const std::size_t mode =
                number == std::string::npos ? number : line.find_first_not_of(" \t", line.find_first_of(" \t", number));
            return mode == std::string::npos ? "" : line.substr(mode, line.find_first_of(" \t", mode) - mode);
        }
    }
    return "";
}

DiscError FirstTrackIsAudio(const fs::path& file, const char* format, const char* converter) {
    return DiscError(
        Say("{1} is {2} whose first track is audio, and only a disc whose first track is its data can "
            "be read; {3}, and the data track saved as an ISO image can be registered",
            file.string(), Tr(format), Tr(converter)));
}

// The frames' file a descriptor names, beside it, the letter case aside: "*.ext" and an empty name
// stand for the descriptor's own name with that extension (.mdf by default).
fs::path FramesBeside(const fs::path& descriptor, const std::string& named, const char* extension) {
    std::string name = named;
    std::replace(name.begin(), name.end(), '\\', '/');
    name = fs::path(name).filename().string();
    if (name.empty() || name[0] == '*') {
        name = descriptor.stem().string() + (name.empty() ? std::string(extension) : name.substr(1));
    }
    const fs::path folder = descriptor.parent_path().empty() ? fs::path(".") : descriptor.parent_path();
    if (std::optional<fs::path> found = PlainFileBeside(folder, name)) {
        return *found;
    }
    std::string shown = name;
    std::replace_if(
        shown.begin(), shown.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, '?');
    throw HostError(kExitNoInput,
                    Say("{1} names {2} for its frames, which is not beside it", descriptor.string(), shown));
}

// The data track a descriptor describes in its frames' file.
DataTrack TrackInFrames(const fs::path& descriptor, const DescribedTrack& described, const fs::path& frames) {
    const ImageFile file(frames);
    const std::optional<uint32_t> userData =
        UserDataOffset(described.sectorSize, described.mode, file.ReadAt(described.offset, 16));
    if (!userData) {
        throw DiscError(Say("{1} gives its first track sectors of {2} bytes, which no data track has",
                            descriptor.string(), described.sectorSize));
    }
    return DataTrack{frames, described.offset, described.sectorSize, *userData, described.sectors};
}

std::string ReadDescriptor(const ImageFile& file, const fs::path& path) {
    if (file.Size() > kLongestDescriptor) {
        throw DiscError(Say("{1} is too long for the descriptor of a disc image", path.string()));
    }
    return file.ReadAt(0, kLongestDescriptor);
}

DataTrack FromMds(const fs::path& path, const std::string& descriptor) {
    const std::optional<DescribedTrack> track = FirstTrackOfMds(descriptor);
    if (!track) {
        throw DiscError(
            Say("{1} is an Alcohol descriptor (.mds) whose first track cannot be read from it", path.string()));
    }
    if (track->audio) {
        throw FirstTrackIsAudio(path, N_("an Alcohol image"),
                                N_("iat (package iat) converts the .mdf to .bin/.cue, which "
                                   "bchunk (package bchunk) splits into its tracks"));
    }
    return TrackInFrames(path, *track, FramesBeside(path, track->file, ".mdf"));
}

DataTrack FromCcd(const fs::path& path, const std::string& text) {
    const std::optional<DescribedTrack> track = FirstTrackOfCcd(text);
    if (!track) {
        throw DiscError(Say("{1} is a CloneCD control file (.ccd) that names no first track", path.string()));
    }
    if (track->audio) {
        throw FirstTrackIsAudio(path, N_("a CloneCD image"),
                                N_("its .img is raw frames, which bchunk (package bchunk) "
                                   "splits into tracks by a cue sheet written for them"));
    }
    return TrackInFrames(path, *track, FramesBeside(path, "", ".img"));
}

DataTrack FromNrg(const fs::path& path, const ImageFile& file, const NrgFooter& footer) {
    std::optional<DescribedTrack> track;
    if (footer.chunksEnd - footer.chunksAt <= kLongestDescriptor) {
        track =
            FirstTrackOfNrg(file.ReadAt(footer.chunksAt, static_cast<std::size_t>(footer.chunksEnd - footer.chunksAt)));
    }
    if (!track) {
        throw DiscError(Say("{1} is a Nero image (.nrg) whose track table cannot be read", path.string()));
    }
    if (track->audio) {
        throw FirstTrackIsAudio(path, N_("a Nero image"),
                                N_("nrg2iso (package nrg2iso) or iat (package iat) converts it"));
    }
    return TrackInFrames(path, *track, path);
}

// A DiscJuggler image ends with the version of its layout (4 to 6 in the low byte, the top bit
// set), little-endian, and the offset of its descriptor.
bool HasCdiFooter(std::string_view last) {
    if (last.size() < 8) {
        return false;
    }
    const std::string_view version = last.substr(last.size() - 8, 4);
    return version[3] == '\x80' && version[2] == '\0' && version[1] == '\0' && version[0] >= 4 && version[0] <= 6;
}

// A descriptor of the frames' own name beside them (.mds, .ccd, the letter case aside) that
// describes them. One that describes other frames, or cannot be read, is passed over: the frames
// are read by their own bytes then.
std::optional<DataTrack> FromDescriptorBeside(const fs::path& frames) {
    const fs::path folder = frames.parent_path().empty() ? fs::path(".") : frames.parent_path();
    for (const char* extension : {".mds", ".ccd"}) {
        const std::optional<fs::path> descriptor = PlainFileBeside(folder, frames.stem().string() + extension);
        if (!descriptor) {
            continue;
        }
        try {
            const ImageFile file(*descriptor);
            const std::string text = ReadDescriptor(file, *descriptor);
            std::optional<DataTrack> track;
            if (IsMdsDescriptor(text)) {
                track = FromMds(*descriptor, text);
            } else if (IsCcdControlFile(text)) {
                track = FromCcd(*descriptor, text);
            }
            std::error_code error;
            if (track && fs::equivalent(track->file, frames, error)) {
                return track;
            }
        } catch (const HostError&) {
        } catch (const DiscError&) {
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<DataTrack> LocateDataTrack(const fs::path& path) {
    const ImageFile file(path);
    const std::string head = file.ReadAt(0, kHead);
    const uint64_t size = file.Size();
    const std::string last = file.ReadAt(size < 16 ? 0 : size - 16, 16);
    if (OpensAsChd(head)) {
        throw DiscError(
            Say("{1} is a CHD image (MAME's compressed hunks), which this host cannot read; chdman "
                "from mame-tools converts it: chdman extractcd -i IMAGE.chd -o IMAGE.cue",
                path.string()));
    }
    if (IsMdsDescriptor(head)) {
        return FromMds(path, ReadDescriptor(file, path));
    }
    if (IsCcdControlFile(head)) {
        return FromCcd(path, ReadDescriptor(file, path));
    }
    if (IsText(head) && FirstTrackMode(head) == "AUDIO") {
        throw FirstTrackIsAudio(path, N_("a cue sheet"), N_("bchunk (package bchunk) splits the frames into tracks"));
    }
    if (const std::optional<NrgFooter> footer = NrgFooterOf(last, size)) {
        return FromNrg(path, file, *footer);
    }
    if (HasCdiFooter(last)) {
        throw DiscError(
            Say("{1} is a DiscJuggler image (.cdi), which this host cannot read; iat (package iat) "
                "converts it to an ISO image",
                path.string()));
    }
    std::optional<DataTrack> bare = TrackOfBareFrames(head);
    if (!bare) {
        // Frames that begin with audio, given with the cue sheet beside them that says so.
        const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
        if (const std::optional<fs::path> sheet = PlainFileBeside(folder, path.stem().string() + ".cue")) {
            const std::string text = ImageFile(*sheet).ReadAt(0, kHead);
            if (IsText(text) && FirstTrackMode(text) == "AUDIO") {
                throw FirstTrackIsAudio(*sheet, "a cue sheet", "bchunk (package bchunk) splits the frames into tracks");
            }
        }
        return std::nullopt;
    }
    if (std::optional<DataTrack> described = FromDescriptorBeside(path)) {
        return described;
    }
    bare->file = path;
    return bare;
}

}  // namespace wertowik
