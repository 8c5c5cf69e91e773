// How library code reaches the disc and the user. Paths are Windows paths in Windows-1250
// ("E:\datalo\htm\*.htm"); every failure to do what was asked is thrown as a PluginError,
// while "no such file" and "no match" are ordinary answers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wtk::platform {

// Attribute bits of a directory entry and of a search mask.
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeId = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// Message box flags and button codes.
enum : uint32_t {
    mbOk = 0x00,
    mbYesNo = 0x04,
    mbIconExclamation = 0x30,
};
enum : int32_t {
    idOk = 1,
    idYes = 6,
    idNo = 7,
};

// Whose window a box belongs to: none, or the calling thread's active window.
enum class BoxOwner { None, ActiveWindow };

struct DirEntry {
    std::string name;  // the entry's name alone, Windows-1250
    uint32_t attributes = 0;
};

// One directory search; ends the search when it goes out of scope.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // The next matching entry, or nothing when the search is through.
    virtual std::optional<DirEntry> Next() = 0;
};

// A whole file's bytes, held for as long as the object lives.
class FileBytes {
public:
    virtual ~FileBytes() = default;
    virtual std::string_view View() const = 0;
};

// File bytes kept in a text of their own.
class OwnedFileBytes final : public FileBytes {
public:
    explicit OwnedFileBytes(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string_view View() const override { return bytes_; }

private:
    std::string bytes_;
};

class Platform {
public:
    virtual ~Platform() = default;

    // True when a file (not a directory) of that name exists, in any letter case.
    virtual bool FileExists(const std::string& path) = 0;
    // Entries matching a wildcard pattern whose attributes fit the mask, as the system lists them.
    virtual std::unique_ptr<DirectorySearch> FindFiles(const std::string& pattern, uint32_t attributeMask) = 0;
    // The whole file; throws when it cannot be opened or read.
    virtual std::unique_ptr<FileBytes> ReadWholeFile(const std::string& path) = 0;
    // The volume label of a root such as "E:\"; the empty text when it cannot be had.
    virtual std::string VolumeLabel(const std::string& root) = 0;
    // A modal message box; caption nullptr is the system's default caption. Returns the button.
    virtual int32_t MessageBox(const std::string& text, const char* caption, uint32_t flags, BoxOwner owner) = 0;
    // Hands a file to the system's viewer with a verb such as "open"; the outcome is not reported.
    virtual void OpenFile(const std::string& verb, const std::string& file) = 0;
    // Runs work, during which the files it reads may be held mapped rather than copied; throws a
    // PluginError, after work is done, when reading a mapped file's bytes failed meanwhile (what
    // work read of it from then on were zeros). Where files are not mapped this only runs work.
    virtual void RunReadingFiles(const std::function<void()>& work) { work(); }

    // The lines of a text file, split at CR LF, CR or LF, up to the file's first NUL byte.
    std::vector<std::string> ReadTextLines(const std::string& path);
};

// The platform this module talks to.
Platform& Current();

}  // namespace wtk::platform
