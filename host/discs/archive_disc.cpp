#include "host/discs/archive_disc.h"

#include <algorithm>
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
constexpr std::size_t kMostMembers = 256;  // members unpacked from one archive
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

    // The members taken, by their paths below the folder.
    std::vector<fs::path> Unpack() {
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
            if (std::optional<fs::path> path = Take(reader.get(), entry, *relative, raw)) {
                taken.push_back(*path);
            }
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
        const char* why = calls_.error_string(reader);
        const std::string reason = why ? why : Tr("unknown error");
        if ((entry && calls_.entry_is_encrypted(entry)) || calls_.has_encrypted_entries(reader) > 0 ||
            reason.find("ncrypt") != std::string::npos || reason.find("assword") != std::string::npos) {
            throw Encrypted();
        }
        throw DiscError(Say("{1} cannot be unpacked: {2}", archive_.string(), Printable(reason)));
    }

    // Reads the member's first bytes and, when it is a disc image or a companion of one, writes it
    // whole below the folder; the path written, nothing for a member left in the archive.
    std::optional<fs::path> Take(archive* reader, archive_entry* entry, const fs::path& relative, bool raw) {
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
        if (fs::exists(fs::symlink_status(path, error)) || ++members_ > kMostMembers) {
            return std::nullopt;  // a second member of the same name, or far more than any disc has
        }
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::string buffer = std::move(head);
        for (;;) {
            Count(buffer.size());
            out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
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
        out.close();
        if (!out) {
            throw HostError(kExitCantCreate, Say("cannot unpack {1} into {2}", archive_.string(), folder_.string()));
        }
        return path;
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

std::vector<std::unique_ptr<DiscSource>> OpenArchiveDiscs(const fs::path& archive) {
    const ScratchFolder folder("wertowik-archive-", "unpacking " + archive.string());
    std::vector<fs::path> files = Unpacker(archive, folder.path()).Unpack();
    const std::set<fs::path> companions = Companions(files);
    const std::string inside = folder.path().string() + "/";
    const std::string shown = archive.string() + "!/";
    const std::string location = fs::absolute(archive).lexically_normal().string();
    std::vector<std::unique_ptr<DiscSource>> discs;
    std::optional<DiscError> unread;  // the first member that is no image, should no other be one
    for (const fs::path& file : files) {
        if (companions.count(file) != 0 || FoldCase(file.extension().string()) == ".SUB") {
            continue;
        }
        const std::string member = file.lexically_relative(folder.path()).string();
        try {
            discs.push_back(OpenIsoDisc(file, location + "!/" + member));
        } catch (const NotAnImageError& problem) {
            if (!unread) {
                unread.emplace(Replaced(problem.what(), inside, shown));
            }
        } catch (const DiscError& problem) {
            throw DiscError(Replaced(problem.what(), inside, shown));
        } catch (const HostError& problem) {
            throw HostError(problem.code(), Replaced(problem.what(), inside, shown));
        }
    }
    if (discs.empty()) {
        if (unread) {
            throw *unread;
        }
        throw DiscError(Say("{1} holds no disc image", archive.string()));
    }
    return discs;
}

std::vector<std::unique_ptr<DiscSource>> OpenDiscs(const fs::path& path) {
    std::error_code error;
    if (fs::is_regular_file(path, error) && IsArchive(ImageFile(path).ReadAt(0, 512))) {
        return OpenArchiveDiscs(path);
    }
    std::vector<std::unique_ptr<DiscSource>> discs;
    discs.push_back(OpenDisc(path));
    return discs;
}

}  // namespace wertowik
