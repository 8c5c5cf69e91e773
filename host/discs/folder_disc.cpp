#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "host/base/messages.h"
#include "host/discs/disc_source.h"
#include "host/discs/mapping_guard.h"
#include "host/discs/mounted_disc.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;

constexpr char kLabelFile[] = ".windows-label";
constexpr std::size_t kLongestLabelLine = 4096;

// A file descriptor closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

class FolderFile final : public SourceFile {
public:
    FolderFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    int64_t Size() const override { return size_; }
    std::size_t Read(void* buffer, std::size_t count) override {
        for (;;) {
            const ssize_t got = ::read(fd_.get(), buffer, count);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw std::runtime_error(std::string("read failed: ") + std::strerror(errno));
            }
        }
    }

    // A large file is mapped rather than copied: its bytes come straight from the system's cache.
    // A small one, or one that cannot be mapped and guarded, is read.
    std::unique_ptr<FileContent> ReadAll() override {
        struct stat info {};
        if (::fstat(fd_.get(), &info) != 0) {
            throw std::runtime_error(std::string("cannot examine an open file: ") + std::strerror(errno));
        }
        if (info.st_size >= kSmallestMappedFile) {
            const std::size_t size = static_cast<std::size_t>(info.st_size);
            void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_.get(), 0);
            if (mapped != MAP_FAILED) {
                if (MappingGuard::Watch(static_cast<const char*>(mapped), size)) {
                    return std::make_unique<MappedContent>(static_cast<const char*>(mapped), size);
                }
                ::munmap(mapped, size);
            }
        }
        return SourceFile::ReadAll();
    }

private:
    static constexpr off_t kSmallestMappedFile = off_t{1} << 20;

    class MappedContent final : public FileContent {
    public:
        MappedContent(const char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
        MappedContent(const MappedContent&) = delete;
        MappedContent& operator=(const MappedContent&) = delete;
        ~MappedContent() override {
            MappingGuard::Release(bytes_);
            ::munmap(const_cast<char*>(bytes_), size_);
        }
        std::string_view bytes() const override { return std::string_view(bytes_, size_); }
        bool Changed() const override { return MappingGuard::WasCut(bytes_); }

    private:
        const char* bytes_;
        std::size_t size_;
    };

    Descriptor fd_;
    int64_t size_;
};

class FolderDisc final : public DiscSource {
public:
    explicit FolderDisc(const fs::path& folder) : root_(fs::canonical(folder)) {
        if (!fs::is_directory(root_)) {
            throw std::runtime_error("not a folder: " + folder.string());
        }
    }

    std::vector<SourceEntry> List(const std::vector<std::string>& directory) override {
        const fs::path path = Inside(directory);
        std::vector<SourceEntry> entries;
        std::error_code error;
        for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (directory.empty() && name == kLabelFile) {
                continue;
            }
            // An entry of a folder on the disc is on the disc unless it is a link; a link counts
            // where it leads, when that is on the disc.
            std::error_code statError;
            if (it->is_symlink(statError)) {
                const fs::path target = fs::canonical(it->path(), statError);
                if (statError || !Within(target)) {
                    continue;  // a broken link, or one that leads out of the disc
                }
            }
            struct stat info {};
            if (::stat(it->path().c_str(), &info) != 0) {
                if (errno == EACCES || errno == EPERM) {
                    // The folder's names can be read, but it may not be entered: nothing in it can be
                    // examined or opened, as if it could not be read at all.
                    throw std::runtime_error(Say("cannot enter {1}: {2}", path.string(), std::strerror(errno)));
                }
                continue;  // gone since it was listed
            }
            SourceEntry entry{name, S_ISDIR(info.st_mode)};
            entry.size = S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0;
            entry.modified = static_cast<int64_t>(info.st_mtime);
            entry.device = static_cast<uint64_t>(info.st_dev);
            entry.inode = static_cast<uint64_t>(info.st_ino);
            entries.push_back(std::move(entry));
        }
        if (error) {
            throw std::runtime_error("cannot list " + path.string() + ": " + error.message());
        }
        return entries;
    }

    std::unique_ptr<SourceFile> Open(const std::vector<std::string>& file) override {
        const fs::path path = Inside(file);
        // Opened without waiting: a named pipe or a device on the disc must not stall the host,
        // and only a regular file is read.
        // The path is real, so its last name is no link; should one have been put there since, it
        // is not followed.
        Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
        if (fd.get() < 0) {
            throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
        }
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            throw std::runtime_error("not a readable file: " + path.string());
        }
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
            throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
        }
        auto opened = std::make_unique<FolderFile>(fd.get(), static_cast<int64_t>(info.st_size));
        fd.release();
        return opened;
    }

    // The first line of the label file, opened as any file of the disc is: it must be a plain
    // file on the disc, since a link that leads off it, a pipe or a device would be read without
    // end (or not be the disc's at all). A volume label is a few dozen characters; the line is
    // read no further than kLongestLabelLine.
    std::optional<std::string> Label() override {
        std::string label(kLongestLabelLine, '\0');
        std::size_t got = 0;
        try {
            const std::unique_ptr<SourceFile> file = Open({kLabelFile});
            while (got < label.size()) {
                const std::size_t read = file->Read(label.data() + got, label.size() - got);
                if (read == 0) {
                    break;
                }
                got += read;
            }
        } catch (const std::runtime_error&) {
            // No label file: a disc in a drive, mounted here, carries its label on the device.
            return MountedDiscLabel(root_);
        }
        label.resize(got);
        label.erase(std::min(label.find('\n'), label.size()));
        while (!label.empty() && label.back() == '\r') {
            label.pop_back();
        }
        return label;
    }

    std::string Location() const override { return root_.string(); }

    std::optional<fs::path> LocalFile(const std::vector<std::string>& file) override { return Inside(file); }

private:
    bool Within(const fs::path& canonicalPath) const {
        const std::string root = root_.string();
        const std::string path = canonicalPath.string();
        return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                (root.back() == '/' || path[root.size()] == '/'));
    }

    // The real path of names below the root, refused when it leads out of the disc. The real
    // path of each folder is found once; below it, a name that is no link is its own real path, so
    // a file costs one lstat rather than a look at every folder on its way.
    fs::path Inside(const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
                throw std::runtime_error("refused path component");
            }
        }
        if (names.empty()) {
            return root_;
        }
        const std::vector<std::string> folder(names.begin(), names.end() - 1);
        auto known = realFolders_.find(folder);
        if (known == realFolders_.end()) {
            known = realFolders_.emplace(folder, Real(root_, folder)).first;
        }
        const fs::path path = known->second / names.back();
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
            return path;
        }
        return Real(path, {});
    }

    // The canonical path of base and names, which must lie on the disc.
    fs::path Real(fs::path path, const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            path /= name;
        }
        std::error_code error;
        const fs::path real = fs::canonical(path, error);
        if (error || !Within(real)) {
            throw std::runtime_error("outside the disc: " + path.string());
        }
        return real;
    }

    fs::path root_;
    mutable std::map<std::vector<std::string>, fs::path> realFolders_;
};

}  // namespace

std::optional<FolderIdentity> IdentityOf(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

std::unique_ptr<DiscSource> OpenFolderDisc(const std::filesystem::path& folder) {
    return std::make_unique<FolderDisc>(folder);
}

}  // namespace wertowik
