// What a disc holds, in its own names: a folder copy of a disc (or an image of one).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace wertowik {

struct SourceEntry {
    std::string name;  // as the disc spells it
    bool directory = false;
    int64_t size = 0;                 // bytes; 0 for a directory
    std::optional<int64_t> modified;  // seconds since 1970 (UTC), as the disc records it
    bool hidden = false;              // the disc's hidden flag (images only: a folder has none)
    bool system = false;              // the disc's system flag, likewise
    // Where a folder lies on this machine, to tell two names for one folder apart (0 for an image).
    uint64_t device = 0, inode = 0;
};

// A file's whole content in memory, kept until the object goes.
class FileContent {
public:
    virtual ~FileContent() = default;
    virtual std::string_view bytes() const = 0;
    // True when the file was cut short by someone else while it was held: the bytes it lost read
    // as NUL bytes since.
    virtual bool Changed() const { return false; }
};

class SourceFile {
public:
    virtual ~SourceFile() = default;
    virtual int64_t Size() const = 0;
    // Bytes read into buffer, 0 at the end; throws when the disc cannot be read.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // The whole file from its start to its end (which need not be at Size() should the file have
    // changed since it was opened); throws when the disc cannot be read. Reads it by default.
    virtual std::unique_ptr<FileContent> ReadAll();
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
    // The file's own path on this machine when it has one (a folder disc), nothing for an image.
    virtual std::optional<std::filesystem::path> LocalFile(const std::vector<std::string>& file) = 0;
};

// Where a folder lies on this machine: its device and inode. Another folder put in its place, or a
// link to another one, has another.
struct FolderIdentity {
    uint64_t device = 0, inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// The identity of the folder a path leads to (links followed); nothing when it leads to no folder.
std::optional<FolderIdentity> IdentityOf(const std::filesystem::path& folder);

// A disc that cannot be read as one: an image that is not ISO 9660, or is cut short.
class DiscError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that holds no ISO 9660 volume at all (rather than a damaged one).
class NotAnImageError : public DiscError {
public:
    using DiscError::DiscError;
};

// A folder that holds a disc's files. Nothing outside it can be reached: symbolic links that lead
// out of it are left out. A ".windows-label" file in its root gives the label and is not listed.
std::unique_ptr<DiscSource> OpenFolderDisc(const std::filesystem::path& folder);

// An ISO 9660 image file, read through its Joliet names when it has them (else its ISO 9660 names
// without their ";1" version suffix), with its volume identifier as the label. The image is a plain
// one (its 2048-byte blocks back to back) or the raw copy of a CD in 2352-byte frames: its cue
// sheet, or the .bin file of its frames with the sheet of the same name beside it; or the first
// data track of a Nero, Alcohol or CloneCD image, or of frames without a descriptor (image_layout.h).
// Throws DiscError when the file is not such an image or is shorter than its volume descriptor
// says. location: what Location() gives, the image's absolute path by default.
std::unique_ptr<DiscSource> OpenIsoDisc(const std::filesystem::path& image,
                                        std::optional<std::string> location = std::nullopt);

// A folder or an image file, told apart by what the path is.
std::unique_ptr<DiscSource> OpenDisc(const std::filesystem::path& path);

}  // namespace wertowik
