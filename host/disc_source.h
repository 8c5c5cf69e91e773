// What a disc holds, in its own names: a folder copy of a disc (or an image of one).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wertowik {

struct SourceEntry {
    std::string name;  // as the disc spells it
    bool directory = false;
};

class SourceFile {
public:
    virtual ~SourceFile() = default;
    virtual int64_t Size() const = 0;
    // Bytes read into buffer, 0 at the end; throws when the disc cannot be read.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
};

class DiscSource {
public:
    virtual ~DiscSource() = default;
    // The entries of a directory, given as a path of names from the root; throws when it cannot be read.
    virtual std::vector<SourceEntry> List(const std::vector<std::string>& directory) = 0;
    // An open file; throws when it cannot be opened.
    virtual std::unique_ptr<SourceFile> Open(const std::vector<std::string>& file) = 0;
    // The label the disc carries (UTF-8), if it carries one.
    virtual std::optional<std::string> Label() = 0;
    // Where the disc is, for messages and the catalogue.
    virtual std::string Location() const = 0;
};

// A folder that holds a disc's files. Nothing outside it can be reached: symbolic links that lead
// out of it are left out. A ".windows-label" file in its root gives the label and is not listed.
std::unique_ptr<DiscSource> OpenFolderDisc(const std::filesystem::path& folder);

}  // namespace wertowik
