// A disc mounted as a drive letter: Windows paths in Windows-1250 resolved on a DiscSource,
// names matched without regard to case, searches as a Windows search behaves.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/discs/disc_source.h"

namespace wertowik {

struct DriveEntry {
    std::string name;  // Windows-1250
    uint32_t attributes = 0;
};

class Drive {
public:
    // label: Windows-1250.
    Drive(char letter, std::unique_ptr<DiscSource> source, std::string label);

    char letter() const { return letter_; }
    const std::string& label() const { return label_; }
    DiscSource& source() { return *source_; }

    // A file (not a directory) at that path.
    bool FileExists(std::string_view path);
    // The entries of the pattern's directory that match it and the attribute mask, in name order.
    std::vector<DriveEntry> Find(std::string_view pattern, uint32_t attributeMask);
    // The file at that path, or nothing when there is none; throws when it cannot be opened.
    std::unique_ptr<SourceFile> OpenRead(std::string_view path);
    // The names on the disc, as the source spells them, of the file at that path; nothing when
    // there is no such file.
    std::optional<std::vector<std::string>> NativePath(std::string_view path);
    // The label of a root such as "E:\", or nothing for another drive.
    std::optional<std::string> VolumeLabel(std::string_view root) const;

private:
    struct Node {
        std::string native;  // as the source spells it
        std::string name;    // Windows-1250
        bool directory = false;
    };
    struct Directory {
        std::vector<Node> nodes;  // in name order
        std::unordered_map<std::string, std::size_t> byFoldedName;
    };
    struct Resolved {
        std::vector<std::string> native;
        bool directory = true;  // the root, or a directory
    };

    // The names after "X:\", or nothing when the path is not on this drive.
    std::optional<std::vector<std::string>> Split(std::string_view path) const;
    // The entry the names lead to, or nothing.
    std::optional<Resolved> Resolve(const std::vector<std::string>& names);
    const Directory& Listing(const std::vector<std::string>& native);

    char letter_;
    std::unique_ptr<DiscSource> source_;
    std::string label_;
    std::map<std::vector<std::string>, Directory> listings_;
};

}  // namespace wertowik
