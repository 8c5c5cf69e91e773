#include "cd_image_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace wertowik {

namespace {

namespace fs = std::filesystem;

// A cue sheet is a few hundred bytes; anything past this is no sheet's.
constexpr std::size_t kLongestSheet = 1 << 20;

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

// The file name of a FILE line's rest: in quotes, or up to the next blank.
std::string_view FileName(std::string_view rest) {
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        return rest.substr(0, rest.find('"'));
    }
    const auto end = std::find_if(rest.begin(), rest.end(), IsBlank);
    return rest.substr(0, static_cast<std::size_t>(end - rest.begin()));
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The file of that name in the folder, the name's letter case aside; nothing when there is none.
std::optional<fs::path> FileBeside(const fs::path& folder, const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (IsRegularFile(folder / name)) {
        return folder / name;
    }
    const std::string wanted = LowerCase(name);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (LowerCase(entry->path().filename().string()) == wanted && IsRegularFile(entry->path())) {
            return entry->path();
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadSheet(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string sheet(kLongestSheet, '\0');
    in.read(sheet.data(), static_cast<std::streamsize>(sheet.size()));
    sheet.resize(static_cast<std::size_t>(in.gcount()));
    return sheet;
}

// The frames a sheet names: its first FILE, as a path below the sheet's folder or by its last name
// alone (a sheet written on Windows may name "C:\rips\disc.bin").
std::optional<fs::path> FramesOfSheet(const fs::path& sheetPath) {
    const std::optional<std::string> sheet = ReadSheet(sheetPath);
    const std::optional<std::string> named = sheet ? FirstFileOfCueSheet(*sheet) : std::nullopt;
    if (!named) {
        return std::nullopt;
    }
    std::string name = *named;
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path folder = sheetPath.parent_path().empty() ? fs::path(".") : sheetPath.parent_path();
    if (const fs::path relative(name); relative.is_relative() && IsRegularFile(folder / relative)) {
        return folder / relative;
    }
    return FileBeside(folder, fs::path(name).filename().string());
}

}  // namespace

std::optional<std::string> FirstFileOfCueSheet(std::string_view sheet) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (sheet.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        sheet.remove_prefix(kByteOrderMark.size());
    }
    while (!sheet.empty()) {
        const std::size_t end = sheet.find_first_of("\r\n");
        const std::string_view line = WithoutLeadingBlanks(sheet.substr(0, end));
        sheet.remove_prefix(end == std::string_view::npos ? sheet.size() : end + 1);
        if (line.size() > 5 && LowerCase(std::string(line.substr(0, 4))) == "file" && IsBlank(line[4])) {
            const std::string_view name = FileName(WithoutLeadingBlanks(line.substr(5)));
            return name.empty() ? std::nullopt : std::optional<std::string>(name);
        }
    }
    return std::nullopt;
}

std::optional<CdImageFiles> FindCdImageFiles(const fs::path& named) {
    const std::string extension = LowerCase(named.extension().string());
    const fs::path folder = named.parent_path().empty() ? fs::path(".") : named.parent_path();
    if (extension == ".cue") {
        if (std::optional<fs::path> frames = FramesOfSheet(named)) {
            return CdImageFiles{named, *frames};
        }
    } else if (extension == ".bin") {
        if (std::optional<fs::path> sheet = FileBeside(folder, named.stem().string() + ".cue")) {
            return CdImageFiles{*sheet, named};
        }
    }
    return std::nullopt;
}

}  // namespace wertowik
