#include "host/web/disc_content.h"

#include <filesystem>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "host/base/display_text.h"
#include "host/base/text_fold.h"
#include "host/discs/disc_source.h"
#include "host/discs/disc_tree.h"
#include "host/web/web_guard.h"

namespace wertowik::web {

namespace {

// The name the directory lists for a wanted one: the same name, else the same without regard to case.
std::optional<SourceEntry> FindEntry(const std::vector<SourceEntry>& entries, const std::string& wanted) {
    const std::string lower = LowerCaseUtf8(wanted);
    const SourceEntry* nearly = nullptr;
    for (const SourceEntry& entry : entries) {
        const std::string name = NameToUtf8(entry.name);
        if (name == wanted) {
            return entry;
        }
        if (nearly == nullptr && LowerCaseUtf8(name) == lower) {
            nearly = &entry;
        }
    }
    return nearly != nullptr ? std::optional<SourceEntry>(*nearly) : std::nullopt;
}

}  // namespace

std::string DiscContentType(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::string extension = LowerCaseUtf8(dot == std::string_view::npos ? "" : name.substr(dot + 1));
    static const std::pair<const char*, const char*> kTypes[] = {
        {"htm", "text/html"}, {"html", "text/html"},   {"css", "text/css"},       {"txt", "text/plain"},
        {"gif", "image/gif"}, {"jpg", "image/jpeg"},   {"jpeg", "image/jpeg"},    {"png", "image/png"},
        {"bmp", "image/bmp"}, {"ico", "image/x-icon"}, {"js", "text/javascript"},
    };
    for (const auto& [known, type] : kTypes) {
        if (extension == known) {
            return type;
        }
    }
    return "application/octet-stream";
}

bool SourceAvailable(const DiscRow& disc, const std::optional<FolderIdentity>& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (disc.source.empty() || !fs::exists(disc.source, error)) {
        return false;
    }
    if (folder) {
        return IdentityOf(disc.source) == folder;
    }
    if (!fs::is_directory(disc.source, error)) {
        return true;  // an image: whatever it is now, only what it holds is read
    }
    return fs::canonical(disc.source, error) == fs::path(disc.source) && !error;
}

std::optional<DiscFile> ReadDiscFile(const DiscRow& disc, const std::optional<FolderIdentity>& folder,
                                     std::string_view path, std::size_t limit) {
    std::vector<std::string> wanted;
    // No deeper than the walk of a disc goes: what lies deeper was not catalogued, and each level
    // more costs the image's listing of a longer path.
    if (!SplitDiscPath(path, wanted) || wanted.size() > TreeLimits{}.depth || !SourceAvailable(disc, folder)) {
        return std::nullopt;
    }
    try {
        const std::unique_ptr<DiscSource> source = OpenDisc(disc.source);
        // The folders on the way, by where they lie: a path that enters one a second time goes
        // round a loop (an image's folder that holds itself, a link back up a folder disc).
        std::set<std::pair<uint64_t, uint64_t>> onTheWay;
        if (const std::optional<std::filesystem::path> root = source->LocalFile({})) {
            if (const std::optional<FolderIdentity> identity = IdentityOf(*root)) {
                onTheWay.emplace(identity->device, identity->inode);
            }
        }
        // Each name as the disc lists it: nothing the listing leaves out can be reached.
        std::vector<std::string> names;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const std::optional<SourceEntry> entry = FindEntry(source->List(names), wanted[i]);
            if (!entry || entry->directory != (i + 1 < wanted.size())) {
                return std::nullopt;
            }
            if (entry->directory && (entry->device != 0 || entry->inode != 0) &&
                !onTheWay.emplace(entry->device, entry->inode).second) {
                return std::nullopt;
            }
            if (entry->size < 0 || static_cast<uint64_t>(entry->size) > limit) {
                return std::nullopt;
            }
            names.push_back(entry->name);
        }
        const std::unique_ptr<SourceFile> file = source->Open(names);
        if (file->Size() < 0 || static_cast<uint64_t>(file->Size()) > limit) {
            return std::nullopt;
        }
        DiscFile content;
        content.contentType = DiscContentType(wanted.back());
        char buffer[65536];
        for (std::size_t got; (got = file->Read(buffer, sizeof buffer)) > 0;) {
            if (content.bytes.size() + got > limit) {
                return std::nullopt;
            }
            content.bytes.append(buffer, got);
        }
        // The folder replaced while it was read: what was read may be another's.
        return SourceAvailable(disc, folder) ? std::optional<DiscFile>(std::move(content)) : std::nullopt;
    } catch (const std::exception&) {
        // An image that cannot be read any more, a file gone meanwhile: there is nothing to show.
        return std::nullopt;
    }
}

}  // namespace wertowik::web
