#include "host/discs/images/cd_image_files.h"

#include <algorithm>
#include <system_error>

#include "host/base/cp1250.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/discs/local_file.h"
#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;

// A cue sheet is a few hundred bytes; a longer file is no sheet.
constexpr std::size_t kLongestSheet = 1 << 20;

enum class CdImageName { None, Sheet, Frames };

// What a path's extension says it is, in any letter case.
CdImageName CdImageNameOf(const fs::path& named) {
    const std::string extension = FoldCase(named.extension().string());
    if (extension == ".CUE") {
        return CdImageName::Sheet;
    }
    return extension == ".BIN" ? CdImageName::Frames : CdImageName::None;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The word the line starts with, taken off it with the blanks behind it.
std::string_view NextWord(std::string_view& line) {
    const auto end = std::find_if(line.begin(), line.end(), IsBlank);
    const std::string_view word = line.substr(0, static_cast<std::size_t>(end - line.begin()));
    line = WithoutLeadingBlanks(line.substr(word.size()));
    return word;
}

std::optional<TrackMode> ModeOf(const std::string& mode) {
    if (mode == "MODE1/2352") {
        return TrackMode::Mode1Raw;
    }
    if (mode == "MODE2/2352") {
        return TrackMode::Mode2Raw;
    }
    if (mode == "MODE1/2048") {
        return TrackMode::Mode1Plain;
    }
    return std::nullopt;
}

// A number of one to four digits; nothing when the text is not one.
std::optional<uint64_t> SmallNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 4 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

// A position as minutes:seconds:frames, 75 frames a second; nothing when it is not one.
std::optional<uint64_t> FrameOf(std::string_view msf) {
    constexpr uint64_t kFramesPerSecond = 75;
    constexpr uint64_t kSecondsPerMinute = 60;
    const std::size_t first = msf.find(':');
    const std::size_t second = first == std::string_view::npos ? first : msf.find(':', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<uint64_t> minutes = SmallNumber(msf.substr(0, first));
    const std::optional<uint64_t> seconds = SmallNumber(msf.substr(first + 1, second - first - 1));
    const std::optional<uint64_t> frames = SmallNumber(msf.substr(second + 1));
    if (!minutes || !seconds || !frames || *seconds >= kSecondsPerMinute || *frames >= kFramesPerSecond) {
        return std::nullopt;
    }
    return (*minutes * kSecondsPerMinute + *seconds) * kFramesPerSecond + *frames;
}

// The file name of a FILE line's rest: in quotes, or else all of it but the file type that ends it
// (a sheet may leave a name with blanks unquoted). Empty for a name that holds a NUL, which no file
// name can.
std::string_view FileName(std::string_view rest) {
    std::string_view name;
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        name = rest.substr(0, rest.find('"'));
    } else {
        rest = WithoutTrailingBlanks(rest);
        const auto lastBlank = std::find_if(rest.rbegin(), rest.rend(), IsBlank);
        name = lastBlank == rest.rend()
                   ? rest
                   : WithoutTrailingBlanks(rest.substr(0, static_cast<std::size_t>(rest.rend() - lastBlank)));
    }
    return name.find('\0') == std::string_view::npos ? name : std::string_view();
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// A file name as Windows compares it: in Windows-1250 (a name that is not UTF-8 is taken to be
// Windows-1250 already, as a sheet written on Windows spells it), Polish capitals included.
std::string ComparedName(std::string_view name) { return FoldCase(NameToCp1250(name)); }

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// The entry of that name in the folder that passes the test, the name's letter case aside; nothing
// when there is none.
template <typename Test>
std::optional<fs::path> EntryBeside(const fs::path& folder, const std::string& name, Test test) {
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    if (test(folder / name)) {
        return folder / name;
    }
    const std::string wanted = ComparedName(name);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (ComparedName(entry->path().filename().string()) == wanted && test(entry->path())) {
            return entry->path();
        }
    }
    return std::nullopt;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// The plain file of that name in the folder, the name's letter case aside.
std::optional<fs::path> FileBeside(const fs::path& folder, const std::string& name) {
    return EntryBeside(folder, name, IsRegularFile);
}

// The entry a path without ".." leads to from the folder that passes the test, each name's letter
// case aside.
template <typename Test>
std::optional<fs::path> EntryBelow(fs::path folder, const fs::path& path, Test test) {
    for (const fs::path& part : path.parent_path()) {
        std::optional<fs::path> inner = EntryBeside(folder, part.string(), IsFolder);
        if (!inner) {
            return std::nullopt;
        }
        folder = *inner;
    }
    return EntryBeside(folder, path.filename().string(), test);
}

// The text of a cue sheet; nothing for a file too long to be one. A sheet that cannot be read is a
// HostError: the user is told why rather than that the file is no image.
std::optional<std::string> ReadSheet(const fs::path& path) { return ReadLocalFile(path, kLongestSheet); }

// Whether a path leads down from where it starts and nowhere else: relative, without "..".
bool LeadsDown(const fs::path& path) {
    return path.is_relative() &&
           std::none_of(path.begin(), path.end(), [](const fs::path& part) { return part == ".."; });
}

// The entry that passes the test for the file of a sheet's first track, in the sheet's folder or
// below it: by the path the sheet gives, or by its last name alone beside the sheet (a sheet
// written on Windows may name "C:\\rips\\disc.bin"), the letter case aside.
template <typename Test>
std::optional<fs::path> FramesOfSheet(const fs::path& sheetPath, const std::string& named, Test test) {
    std::string name = named;
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path folder = sheetPath.parent_path().empty() ? fs::path(".") : sheetPath.parent_path();
    const fs::path given(name);
    if (LeadsDown(given) && given.has_parent_path()) {
        if (std::optional<fs::path> below = EntryBelow(folder, given, test)) {
            return below;
        }
    }
    return EntryBeside(folder, given.filename().string(), test);
}

}  // namespace

std::optional<CueDataTrack> FirstTrackOfCueSheet(std::string_view sheet) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (sheet.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        sheet.remove_prefix(kByteOrderMark.size());
    }
    std::optional<std::string> file;
    std::optional<TrackMode> mode;
    std::optional<uint64_t> start;
    std::optional<uint64_t> nextTrackAt;
    bool inNextTrack = false;
    while (!sheet.empty() && !nextTrackAt) {
        const std::size_t end = sheet.find_first_of("\r\n");
        std::string_view line = WithoutLeadingBlanks(sheet.substr(0, end));
        sheet.remove_prefix(end == std::string_view::npos ? sheet.size() : end + 1);
        const std::string keyword = FoldCase(NextWord(line));
        if (keyword == "FILE") {
            if (mode) {
                break;  // the first track's file ends with the file
            }
            const std::string_view name = FileName(WithoutLeadingBlanks(line));
            file = name.empty() ? std::nullopt : std::optional<std::string>(name);
        } else if (keyword == "TRACK" && file) {
            if (mode) {
                inNextTrack = true;
                continue;
            }
            NextWord(line);  // its number: the host numbers the data track itself
            mode = ModeOf(FoldCase(NextWord(line)));
            if (!mode) {
                return std::nullopt;
            }
        } else if (keyword == "INDEX" && mode) {
            const std::string_view number = NextWord(line);
            const std::optional<uint64_t> at = FrameOf(NextWord(line));
            if (!at) {
                return std::nullopt;
            }
            if (inNextTrack) {
                nextTrackAt = at;  // its first index, the pregap's when it has one
            } else if (number == "01" || number == "1") {
                start = at;
            }
        }
    }
    if (!file || !mode || start != uint64_t{0}) {
        return std::nullopt;
    }
    return CueDataTrack{*file, *mode, nextTrackAt};
}

bool NamesCdImage(const fs::path& named) { return CdImageNameOf(named) != CdImageName::None; }

std::string CdImageHint(const fs::path& named) {
    switch (CdImageNameOf(named)) {
        case CdImageName::None: return "";
        case CdImageName::Sheet: return Tr(", nor a cue sheet whose first file holds the frames of one");
        case CdImageName::Frames: break;
    }
    fs::path sheet = named.filename();
    sheet.replace_extension(".cue");
    return Say(", nor the frames of one with {1} beside it", sheet.string());
}

std::optional<fs::path> PlainFileBeside(const fs::path& folder, const std::string& name) {
    return FileBeside(folder, name);
}

std::optional<CdImageFiles> FindCdImageFiles(const fs::path& named, bool isSheet) {
    const CdImageName kind = isSheet ? CdImageName::Sheet : CdImageNameOf(named);
    const fs::path folder = named.parent_path().empty() ? fs::path(".") : named.parent_path();
    std::optional<fs::path> sheet;
    if (kind == CdImageName::Sheet) {
        sheet = named;
    } else if (kind == CdImageName::Frames) {
        sheet = FileBeside(folder, named.stem().string() + ".cue");
    }
    const std::optional<std::string> text = sheet ? ReadSheet(*sheet) : std::nullopt;
    const std::optional<CueDataTrack> track = text ? FirstTrackOfCueSheet(*text) : std::nullopt;
    if (!track) {
        return std::nullopt;
    }
    if (kind == CdImageName::Frames) {
        return CdImageFiles{*sheet, named, *track};
    }
    const std::optional<fs::path> frames = FramesOfSheet(*sheet, track->file, IsRegularFile);
    if (!frames) {
        const bool somethingElse = FramesOfSheet(*sheet, track->file, Exists).has_value();
        throw HostError(kExitNoInput, Say(somethingElse ? N_("{1} names {2} for its data, which is no plain file")
                                                        : N_("{1} names {2} for its data, which is not beside it"),
                                          sheet->string(), ForTerminal(Cp1250ToUtf8(NameToCp1250(track->file)))));
    }
    return CdImageFiles{*sheet, *frames, *track};
}

}  // namespace wertowik
