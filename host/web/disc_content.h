// A file of a catalogued disc, read through the disc source it was registered from, for the web
// view's "open the disc's own pages".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/catalogue/catalogue.h"

namespace wertowik::web {

struct DiscFile {
    std::string bytes;
    std::string contentType;
};

// The file at path (names joined by "/", each matched as the disc spells it, else without regard
// to letter case) on the disc, read through its source. Nothing when the path is not a plain one
// inside the disc (SplitDiscPath), when the source is no longer where the disc was registered from,
// when the disc holds no such file (only what its source lists is reached: a folder disc's links
// that lead out of it are not), or when the file is larger than limit.
std::optional<DiscFile> ReadDiscFile(const DiscRow& disc, std::string_view path, std::size_t limit);

// The content type a file of the disc is served with, by its extension.
std::string DiscContentType(std::string_view name);

}  // namespace wertowik::web
