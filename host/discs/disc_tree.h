// Every file and folder of a disc, walked from its root through the same disc source the
// libraries read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/discs/disc_source.h"

namespace wertowik {

struct TreeEntry {
    std::string name;     // as the disc spells it
    int64_t parent = -1;  // the index of its folder in the tree; -1 in the root
    bool directory = false;
    int64_t size = 0;
    std::optional<int64_t> modified;  // seconds since 1970, UTC
    bool hidden = false, system = false;
};

struct DiscTree {
    // Each folder comes before what it holds, and a folder's entries in name order (letter case
    // folded), so that the same disc gives the same tree from its folder and from its image.
    std::vector<TreeEntry> entries;
    // Of the entries' names (letter case folded), places in the tree, sizes and kinds.
    int64_t fingerprint = 0;
    // What the walk could not do: folders that could not be read, or where it stopped.
    std::vector<std::string> problems;
};

struct TreeLimits {
    std::size_t entries = 1'000'000;
    std::size_t depth = 128;
};

// Walks the whole disc. A folder that cannot be read is left out with a problem noted; a folder
// reached a second time (a link to a folder above it, or a damaged image whose folder holds
// itself) is listed but not walked again; past the limits nothing more is added.
DiscTree WalkDisc(DiscSource& source, const TreeLimits& limits = {});

// The names of an entry's folders and its own, from the root.
std::vector<std::string> TreePathNames(const DiscTree& tree, std::size_t index);

}  // namespace wertowik
