#include "host/discs/disc_tree.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "host/base/messages.h"
#include "host/base/text_fold.h"

namespace wertowik {

namespace {

// 64-bit FNV-1a.
class Hash {
public:
    void Add(std::string_view bytes) {
        AddNumber(bytes.size());
        for (const char c : bytes) {
            AddByte(static_cast<unsigned char>(c));
        }
    }
    void AddNumber(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            AddByte(static_cast<unsigned char>(value >> (8 * i)));
        }
    }
    int64_t value() const { return static_cast<int64_t>(hash_); }

private:
    void AddByte(unsigned char c) {
        hash_ ^= c;
        hash_ *= 0x100000001B3ull;
    }
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

constexpr std::size_t kProblemsKept = 20;

void Note(DiscTree& tree, std::string problem) {
    if (tree.problems.size() < kProblemsKept &&
        std::find(tree.problems.begin(), tree.problems.end(), problem) == tree.problems.end()) {
        tree.problems.push_back(std::move(problem));
    }
}

struct Pending {
    int64_t index;  // the folder's entry; -1 for the root
    std::vector<std::string> names;
    std::size_t depth;
};

}  // namespace

DiscTree WalkDisc(DiscSource& source, const TreeLimits& limits) {
    DiscTree tree;
    Hash hash;
    std::set<std::pair<uint64_t, uint64_t>> walked;  // folders by device and inode
    struct stat root {};
    if (const auto local = source.LocalFile({}); local && ::stat(local->c_str(), &root) == 0) {
        walked.emplace(static_cast<uint64_t>(root.st_dev), static_cast<uint64_t>(root.st_ino));
    }
    std::vector<Pending> pending{{-1, {}, 0}};
    bool full = false;
    while (!pending.empty() && !full) {
        Pending folder = std::move(pending.back());
        pending.pop_back();
        std::vector<SourceEntry> listed;
        try {
            listed = source.List(folder.names);
        } catch (const std::exception& problem) {
            Note(tree, problem.what());
            continue;
        }
        std::vector<std::pair<std::string, SourceEntry>> sorted;
        sorted.reserve(listed.size());
        for (SourceEntry& entry : listed) {
            std::string folded = LowerCaseUtf8(entry.name);
            sorted.emplace_back(std::move(folded), std::move(entry));
        }
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
        });
        // The folder's subfolders go on the stack in reverse, so that they are walked in name order.
        std::vector<Pending> below;
        for (auto& [folded, entry] : sorted) {
            if (tree.entries.size() >= limits.entries) {
                Note(tree,
                     Say("the disc holds more than {1} files and folders; the rest are left out", limits.entries));
                full = true;
                break;
            }
            const auto index = static_cast<int64_t>(tree.entries.size());
            hash.AddNumber(static_cast<uint64_t>(folder.index + 1));
            hash.Add(folded);
            hash.AddNumber(entry.directory ? ~uint64_t{0} : static_cast<uint64_t>(entry.size));
            tree.entries.push_back(TreeEntry{entry.name, folder.index, entry.directory, entry.size, entry.modified,
                                             entry.hidden, entry.system});
            if (!entry.directory) {
                continue;
            }
            if ((entry.device != 0 || entry.inode != 0) && !walked.emplace(entry.device, entry.inode).second) {
                continue;  // reached before: listed, not walked again
            }
            if (folder.depth + 1 >= limits.depth) {
                Note(tree, Say("folders deeper than {1} levels are left out", limits.depth));
                continue;
            }
            std::vector<std::string> names = folder.names;
            names.push_back(entry.name);
            below.push_back(Pending{index, std::move(names), folder.depth + 1});
        }
        std::move(below.rbegin(), below.rend(), std::back_inserter(pending));
    }
    tree.fingerprint = hash.value();
    return tree;
}

std::vector<std::string> TreePathNames(const DiscTree& tree, std::size_t index) {
    std::vector<std::string> names;
    for (int64_t at = static_cast<int64_t>(index); at >= 0; at = tree.entries[static_cast<std::size_t>(at)].parent) {
        names.push_back(tree.entries[static_cast<std::size_t>(at)].name);
    }
    std::reverse(names.begin(), names.end());
    return names;
}

}  // namespace wertowik
