#include "host/discs/drive.h"

#include <algorithm>

#include "host/base/cp1250.h"
#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

Drive::Drive(char letter, std::unique_ptr<DiscSource> source, std::string label)
    : letter_(UpperLetter(letter)), source_(std::move(source)), label_(std::move(label)) {}

std::optional<std::vector<std::string>> Drive::Split(std::string_view path) const {
    if (path.size() < 3 || UpperLetter(path[0]) != letter_ || path[1] != ':' || (path[2] != '\\' && path[2] != '/')) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    std::size_t start = 3;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view name = path.substr(start, end - start);
        if (name == "..") {
            return std::nullopt;  // nothing above the disc's root, and no way back up
        }
        if (!name.empty() && name != ".") {
            names.emplace_back(name);
        }
        start = end + 1;
    }
    return names;
}

const Drive::Directory& Drive::Listing(const std::vector<std::string>& native) {
    auto found = listings_.find(native);
    if (found != listings_.end()) {
        return found->second;
    }
    Directory directory;
    for (SourceEntry& entry : source_->List(native)) {
        Node node;
        node.name = NameToCp1250(entry.name);
        node.native = std::move(entry.name);
        node.directory = entry.directory;
        directory.nodes.push_back(std::move(node));
    }
    std::sort(directory.nodes.begin(), directory.nodes.end(),
              [](const Node& a, const Node& b) { return NameOrder(a.name, b.name); });
    directory.byFoldedName.reserve(directory.nodes.size());
    for (std::size_t i = 0; i < directory.nodes.size(); ++i) {
        directory.byFoldedName.emplace(FoldCase(directory.nodes[i].name), i);
    }
    return listings_.emplace(native, std::move(directory)).first->second;
}

std::optional<Drive::Resolved> Drive::Resolve(const std::vector<std::string>& names) {
    Resolved resolved;
    for (const std::string& name : names) {
        if (!resolved.directory || HasWildcard(name)) {
            return std::nullopt;
        }
        const Directory& directory = Listing(resolved.native);
        const auto at = directory.byFoldedName.find(FoldCase(name));
        if (at == directory.byFoldedName.end()) {
            return std::nullopt;
        }
        const Node& node = directory.nodes[at->second];
        resolved.native.push_back(node.native);
        resolved.directory = node.directory;
    }
    return resolved;
}

bool Drive::FileExists(std::string_view path) {
    const auto names = Split(path);
    if (!names || names->empty()) {
        return false;
    }
    const auto resolved = Resolve(*names);
    return resolved && !resolved->directory;
}

std::vector<DriveEntry> Drive::Find(std::string_view pattern, uint32_t attributeMask) {
    std::vector<DriveEntry> matches;
    auto names = Split(pattern);
    if (!names || names->empty()) {
        return matches;
    }
    const std::string last = names->back();
    names->pop_back();
    const auto folder = Resolve(*names);
    if (!folder || !folder->directory) {
        return matches;
    }
    const auto add = [&](const std::string& name, uint32_t attributes) {
        if (MatchesPattern(last, name) && AttributesFit(attributes, attributeMask)) {
            matches.push_back(DriveEntry{name, attributes});
        }
    };
    if (!names->empty()) {  // a folder below the root lists itself and its parent first
        add(".", kDirectory);
        add("..", kDirectory);
    }
    for (const Node& node : Listing(folder->native).nodes) {
        add(node.name, node.directory ? kDirectory : kArchive);
    }
    return matches;
}

std::optional<std::vector<std::string>> Drive::NativePath(std::string_view path) {
    const auto names = Split(path);
    if (!names || names->empty()) {
        return std::nullopt;
    }
    const auto resolved = Resolve(*names);
    if (!resolved || resolved->directory) {
        return std::nullopt;
    }
    return resolved->native;
}

std::unique_ptr<SourceFile> Drive::OpenRead(std::string_view path) {
    const auto names = Split(path);
    if (!names || names->empty()) {
        return nullptr;
    }
    const auto resolved = Resolve(*names);
    if (!resolved || resolved->directory) {
        return nullptr;
    }
    return source_->Open(resolved->native);
}

std::optional<std::string> Drive::VolumeLabel(std::string_view root) const {
    const auto names = Split(root);
    if (!names || !names->empty()) {
        return std::nullopt;
    }
    return label_;
}

}  // namespace wertowik
