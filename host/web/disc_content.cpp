#include "host/web/disc_content.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "host/base/display_text.h"
#include "host/base/text_fold.h"
#include "host/discs/disc_source.h"
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

std::optional<DiscFile> ReadDiscFile(const DiscRow& disc, std::string_view path, std::size_t limit) {
    std::vector<std::string> wanted;
    if (!SplitDiscPath(path, wanted) || disc.source.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    if (!std::filesystem::exists(disc.source, error)) {
        return std::nullopt;
    }
    try {
        const std::unique_ptr<DiscSource> source = OpenDisc(disc.source);
        // Each name as the disc lists it: nothing the listing leaves out can be reached.
        std::vector<std::string> names;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const std::optional<SourceEntry> entry = FindEntry(source->List(names), wanted[i]);
            if (!entry || entry->directory != (i + 1 < wanted.size())) {
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
        return content;
    } catch (const std::exception&) {
        // An image that cannot be read any more, a file gone meanwhile: there is nothing to show.
        return std::nullopt;
    }
}

}  // namespace wertowik::web
