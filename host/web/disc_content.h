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

// Whether the disc's source is still where it was registered from: its image there, or its folder
// that very folder (folder: where it lay when registered, as the catalogue recorded it; a disc
// whose folder was not recorded must have its path still the folder's real path, no link put in
// its place or on its way).
bool SourceAvailable(const DiscRow& disc, const std::optional<FolderIdentity>& folder);

// The file at path (names joined by "/", each matched as the disc spells it, else without regard
// to letter case) on the disc, read through its source. Nothing when the path is not a plain one
// inside the disc (SplitDiscPath), when it is deeper than the walk of a disc goes (TreeLimits) or
// enters a folder it went through already (a loop), when the source is not available (SourceAvailable, before and
// after the reading), when the disc holds no such file (only what its source lists is reached: a
// folder disc's links that lead out of it are not), or when the file is larger than limit.
std::optional<DiscFile> ReadDiscFile(const DiscRow& disc, const std::optional<FolderIdentity>& folder,
                                     std::string_view path, std::size_t limit);

// The content type a file of the disc is served with, by its extension.
std::string DiscContentType(std::string_view name);

}  // namespace wertowik::web
