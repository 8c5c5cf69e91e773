#include "host/discs/archive_disc.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <system_error>

#include "host/base/errors.h"
#include "host/base/helper_module.h"
#include "host/base/messages.h"
#include "host/discs/archive_calls.h"
#include "host/discs/images/image_blocks.h"
#include "host/discs/images/image_formats.h"
#include "host/discs/temporary_folder.h"
#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPeek = 64 * 1024;  // what is read of a member before it is taken or left
constexpr uint64_t kMostUnpacked = uint64_t{9} << 30;
constexpr uint64_t kLeastLimit = uint64_t{256} << 20;
constexpr uint64_t kMostRatio = 200;
constexpr std::size_t kDeepestPath = 16;

// libarchive's functions, from the module loaded by the first archive opened.
const ArchiveCalls& Archive() {
    static const HelperModule module(HelperModulePath("wertowik-archive.so"));
    static const ArchiveCalls& calls = *module.Entry<ArchiveCallsFn>(kArchiveCallsEntry)();
    return calls;
}

struct ArchiveFree {
    void operator()(archive* reader) const { Archive().read_free(reader); }
};
using Reader = std::unique_ptr<archive, ArchiveFree>;

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// A member's path made safe below the folder: no "..", ".", empty or absolute parts; nothing when
// nothing is left.
std::optional<fs::path> SafeRelative(std::string_view name) {
    fs::path relative;
    std::size_t depth = 0;
    while (!name.empty()) {
        const std::size_t end = name.find_first_of("/\\");
        const std::string_view part = name.substr(0, end);
        name.remove_prefix(end == std::string_view::npos ? name.size() : end + 1);
        if (part.empty() || part == "." || part == ".." || part.size() > 255 || ++depth > kDeepestPath) {
            continue;
        }
        relative /= std::string(part);
    }
    return relative.empty() ? std::nullopt : std::optional<fs::path>(relative);
}

// Text from an archive for a message: one line, no control characters.
std::string Printable(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, ' ');
    return text;
}

class Unpacker {
public:
    Unpacker(const fs::path& archive, const fs::path& folder)
        : calls_(Archive()), archive_(archive), folder_(folder), limit_(UnpackLimit(ArchiveSize(archive))) {}

    // The members taken, by their paths below the folder; a second member of a name taken already
    // goes to twins.
    std::vector<fs::path> Unpack(std::vector<fs::path>& twins) {
        Reader reader(calls_.read_new());
        if (!reader) {
            throw std::bad_alloc();
        }
        calls_.support_filter_all(reader.get());
        calls_.support_format_zip(reader.get());
        calls_.support_format_7zip(reader.get());
        calls_.support_format_rar(reader.get());
        calls_.support_format_rar5(reader.get());
        // A compressed stream: one member, the image. (Not tar, which would take the zeros an ISO
        // 9660 image begins with for the end of an archive.)
        calls_.support_format_raw(reader.get());
        if (calls_.open_filename(reader.get(), archive_.c_str(), 64 * 1024) != ARCHIVE_OK) {
            Fail(reader.get(), nullptr);
        }
        std::vector<fs::path> taken;
        for (;;) {
            archive_entry* entry = nullptr;
            const int status = calls_.next_header(reader.get(), &entry);
            if (status == ARCHIVE_EOF) {
                break;
            }
            if (status < ARCHIVE_WARN) {
                Fail(reader.get(), entry);
            }
            if (calls_.entry_is_encrypted(entry)) {
                throw Encrypted();
            }
            // A compressed stream's one member has no file type of its own.
            const bool raw = calls_.format(reader.get()) == ARCHIVE_FORMAT_RAW;
            if (calls_.entry_filetype(entry) != AE_IFREG && !raw) {
                continue;
            }
            const char* pathname = calls_.entry_pathname(entry);
            std::optional<fs::path> relative =
                raw ? SafeRelative(archive_.stem().string()) : SafeRelative(pathname ? pathname : "");
            if (!relative) {
                continue;
            }
            if (std::optional<fs::path> path = Take(reader.get(), entry, *relative, raw, twins)) {
                taken.push_back(*path);
            }
        }
        if (members_ > kMostArchiveMembers) {
            throw DiscError(
                Say("{1} holds {2} disc images and their companions, more than the {3} registered from "
                    "one archive; unpack it and register its images in parts",
                    archive_.string(), members_, kMostArchiveMembers));
        }
        return taken;
    }

private:
    static uint64_t ArchiveSize(const fs::path& archive) {
        std::error_code error;
        const uintmax_t size = fs::file_size(archive, error);
        return error ? 0 : size;
    }

    DiscError Encrypted() const {
        return DiscError(
            Say("{1} is an encrypted archive, which this host cannot unpack; unpack it with its "
                "password first (7z x from p7zip-full, for instance) and register the image",
                archive_.string()));
    }

    [[noreturn]] void Fail(archive* reader, archive_entry* entry) const {
        // libarchive names the fault it found, else the system's error; some damage it names neither.
        const char* why = calls_.error_string(reader);
        const int number = calls_.error_number(reader);
        const std::string reason = why != nullptr ? why
                                   : number > 0   ? std::strerror(number)
                                                  : Tr("the archive is damaged, or of a kind this host does not read");
        if ((entry && calls_.entry_is_encrypted(entry)) || calls_.has_encrypted_entries(reader) > 0 ||
            reason.find("ncrypt") != std::string::npos || reason.find("assword") != std::string::npos) {
            throw Encrypted();
        }
        throw DiscError(Say("{1} cannot be unpacked: {2}", archive_.string(), Printable(reason)));
    }

    // Reads the member's first bytes and, when it is a disc image or a companion of one, writes it
    // whole below the folder; the path written, nothing for a member left in the archive.
    std::optional<fs::path> Take(archive* reader, archive_entry* entry, const fs::path& relative, bool raw,
                                 std::vector<fs::path>& twins) {
        std::string head(kPeek, '\0');
        std::size_t filled = 0;
        while (filled < head.size()) {
            const la_ssize_t got = calls_.read_data(reader, head.data() + filled, head.size() - filled);
            if (got < 0) {
                Fail(reader, entry);
            }
            if (got == 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        head.resize(filled);
        if (!raw && !NamesImageFile(relative) && !OpensAsImage(head)) {
            // Left in the archive; its size counts all the same, as passing over it in a solid
            // archive means unpacking it.
            const la_int64_t size = calls_.entry_size_is_set(entry) ? calls_.entry_size(entry) : 0;
            Count(size > 0 ? static_cast<uint64_t>(size) : filled);
            return std::nullopt;
        }
        const fs::path path = folder_ / relative;
        std::error_code error;
        if (++members_ > kMostArchiveMembers) {
            // Far more than any set of discs: only counted, for the refusal to say how many.
            const la_int64_t size = calls_.entry_size_is_set(entry) ? calls_.entry_size(entry) : 0;
            Count(size > 0 ? static_cast<uint64_t>(size) : filled);
            return std::nullopt;
        }
        if (fs::exists(fs::symlink_status(path, error))) {
            twins.push_back(relative);
            return std::nullopt;
        }
        fs::create_directories(path.parent_path(), error);
        const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (out < 0) {
            CannotWrite(errno);
        }
        std::string buffer = std::move(head);
        try {
            WriteMember(reader, entry, out, buffer);
        } catch (...) {
            ::close(out);
            throw;
        }
        if (::close(out) != 0) {
            CannotWrite(errno);
        }
        return path;
    }

    // The member's bytes from those read already (buffer) on, written to out.
    void WriteMember(archive* reader, archive_entry* entry, int out, std::string& buffer) {
        for (;;) {
            Count(buffer.size());
            for (std::size_t written = 0; written < buffer.size();) {
                const ssize_t n = ::write(out, buffer.data() + written, buffer.size() - written);
                if (n > 0) {
                    written += static_cast<std::size_t>(n);
                } else if (n == 0 || errno != EINTR) {
                    CannotWrite(n == 0 ? EIO : errno);
                }
            }
            buffer.resize(kPeek);
            const la_ssize_t got = calls_.read_data(reader, buffer.data(), buffer.size());
            if (got < 0) {
                Fail(reader, entry);
            }
            if (got == 0) {
                break;
            }
            buffer.resize(static_cast<std::size_t>(got));
        }
    }

    // A member that could not be written below the folder: a full disk is an I/O error.
    [[noreturn]] void CannotWrite(int error) const {
        throw HostError(WriteFailureCode(error), Say("cannot unpack {1} into {2}: {3}", archive_.string(),
                                                     folder_.string(), std::strerror(error)));
    }

    // Counts bytes unpacked; throws once they pass the limit.
    void Count(uint64_t bytes) {
        unpacked_ += bytes;
        if (unpacked_ > limit_) {
            throw DiscError(Say("{1} unpacks to more than {2} bytes, more than a disc image of it can hold",
                                archive_.string(), limit_));
        }
    }

    const ArchiveCalls& calls_;
    fs::path archive_;
    fs::path folder_;
    uint64_t limit_;
    uint64_t unpacked_ = 0;
    std::size_t members_ = 0;
};

// The files the descriptors among them name: every file a cue sheet names (the later tracks'
// too), the frames an MDS or CCD describes.
std::set<fs::path> Companions(const std::vector<fs::path>& files) {
    std::set<fs::path> descriptors;
    std::copy_if(files.begin(), files.end(), std::inserter(descriptors, descriptors.end()), IsDescriptorFile);
    std::set<fs::path> companions;
    for (const fs::path& file : descriptors) {
        const std::string text = FoldCase(ImageFile(file).ReadAt(0, kPeek));
        for (const fs::path& other : files) {
            if (descriptors.count(other) == 0 && other.parent_path() == file.parent_path() &&
                (text.find(FoldCase(other.filename().string())) != std::string::npos ||
                 FoldCase(other.stem().string()) == FoldCase(file.stem().string()))) {
                companions.insert(other);
            }
        }
    }
    return companions;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

bool IsArchive(std::string_view head) {
    return StartsWith(head, "PK\x03\x04") || StartsWith(head, "PK\x05\x06") || StartsWith(head, "7z\xBC\xAF\x27\x1C") ||
           StartsWith(head, "Rar!\x1A\x07") || StartsWith(head, "\x1F\x8B") ||
           StartsWith(head, std::string_view("\xFD"
                                             "7zXZ\0",
                                             6)) ||
           StartsWith(head, "BZh");
}

uint64_t UnpackLimit(uint64_t archiveSize) {
    return std::min(kMostUnpacked,
                    std::max(kLeastLimit, archiveSize > kMostUnpacked ? kMostUnpacked : archiveSize * kMostRatio));
}

// Room for a descriptor of each image held open, above what the process may have open by default.
void MakeRoomForFiles(std::size_t files) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < files + 256) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? files + 256 : std::min<rlim_t>(limit.rlim_max, files + 256);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::vector<std::unique_ptr<DiscSource>> OpenArchiveDiscs(const fs::path& archive, std::vector<UnreadMember>& unread) {
    const ScratchFolder folder("wertowik-archive-", "unpacking " + archive.string());
    std::vector<fs::path> twins;
    std::vector<fs::path> files = Unpacker(archive, folder.path()).Unpack(twins);
    MakeRoomForFiles(2 * files.size());
    const std::set<fs::path> companions = Companions(files);
    const std::string inside = folder.path().string() + "/";
    const std::string shown = archive.string() + "!/";
    const std::string location = fs::absolute(archive).lexically_normal().string();
    std::vector<std::unique_ptr<DiscSource>> discs;
    std::vector<UnreadMember> problems;
    std::optional<HostError> failure;  // what the only unread image threw, as it threw it
    for (const fs::path& file : files) {
        if (companions.count(file) != 0 || FoldCase(file.extension().string()) == ".SUB") {
            continue;
        }
        const std::string member = file.lexically_relative(folder.path()).string();
        try {
            discs.push_back(OpenIsoDisc(file, location + "!/" + member));
        } catch (const DiscError& problem) {
            problems.push_back({member, Replaced(problem.what(), inside, shown), kExitDataError, discs.size()});
        } catch (const HostError& problem) {
            problems.push_back({member, Replaced(problem.what(), inside, shown), problem.code(), discs.size()});
            failure.emplace(problem.code(), problems.back().reason);
        }
    }
    for (const fs::path& twin : twins) {
        problems.push_back(
            {twin.string(),
             Say("{1}{2} is a second member of that name, which cannot be told from the first", shown, twin.string()),
             kExitDataError, discs.size()});
    }
    if (discs.empty() && problems.size() == 1) {
        if (failure) {
            throw *failure;
        }
        throw DiscError(problems.front().reason);
    }
    if (discs.empty() && problems.empty()) {
        throw DiscError(Say("{1} holds no disc image", archive.string()));
    }
    unread.insert(unread.end(), problems.begin(), problems.end());
    return discs;
}

std::vector<std::unique_ptr<DiscSource>> OpenDiscs(const fs::path& path, std::vector<UnreadMember>& unread) {
    std::error_code error;
    if (fs::is_regular_file(path, error) && IsArchive(ImageFile(path).ReadAt(0, 512))) {
        return OpenArchiveDiscs(path, unread);
    }
    std::vector<std::unique_ptr<DiscSource>> discs;
    discs.push_back(OpenDisc(path));
    return discs;
}

}  // namespace wertowik
