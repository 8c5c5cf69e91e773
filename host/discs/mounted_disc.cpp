#include "host/discs/mounted_disc.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "host/discs/disc_source.h"

namespace wertowik {

namespace {

constexpr char kMountInfo[] = "/proc/self/mountinfo";

// A field of mountinfo with its octal escapes (\040 for a blank, \011, \012, \134) undone.
std::string Unescaped(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

}  // namespace

std::optional<std::string> MountSource(const std::string& folder, std::string_view mountinfo) {
    std::optional<std::string> source;
    std::size_t at = 0;
    while (at < mountinfo.size()) {
        const std::size_t end = std::min(mountinfo.find('\n', at), mountinfo.size());
        const std::vector<std::string_view> fields = Fields(mountinfo.substr(at, end - at));
        at = end + 1;
        // ID, parent, device, root, mount point, options, optional fields..., "-", type, source, ...
        if (fields.size() < 10 || Unescaped(fields[4]) != folder) {
            continue;
        }
        for (std::size_t i = 6; i + 2 < fields.size(); ++i) {
            if (fields[i] == "-") {
                source = Unescaped(fields[i + 2]);  // a later mount on the same folder hides an earlier one
                break;
            }
        }
    }
    return source;
}

std::optional<std::string> MountedDiscLabel(const std::filesystem::path& folder) {
    std::ifstream file(kMountInfo);
    std::stringstream text;
    text << file.rdbuf();
    const std::optional<std::string> source = MountSource(folder.string(), text.str());
    struct stat info {};
    if (!source || ::stat(source->c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) {
        return std::nullopt;
    }
    try {
        return OpenIsoDisc(*source)->Label();
    } catch (const std::exception&) {
        return std::nullopt;  // not readable here (no permission, no disc), or no ISO 9660 disc
    }
}

}  // namespace wertowik
