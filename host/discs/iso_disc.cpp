// An ISO 9660 image as a disc. libiso9660 opens a plain image (its 2048-byte blocks back to back)
// and reads its blocks; a raw copy of a CD (a .bin of 2352-byte frames with its .cue sheet) is
// opened through libcdio, which takes the blocks out of their frames. What the volume descriptors
// say (the Joliet tree when there is one, the label) is read here for both kinds alike, as
// libiso9660 reads it. So are the directory records, because libiso9660 converts Joliet names as
// UCS-2 and fails on a name that holds a UTF-16 surrogate pair (a character beyond the first
// 65536), losing the whole directory.
#include <cdio/bytesex.h>
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>

#include "host/base/bytes.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/utf8.h"
#include "host/discs/disc_source.h"
#include "host/discs/images/cd_image_files.h"
#include "host/discs/images/image_blocks.h"
#include "host/discs/images/image_layout.h"
#include "host/discs/iso_names.h"
#include "host/discs/temporary_folder.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlock = ISO_BLOCKSIZE;
constexpr std::size_t kReadBlocks = 32;  // 64 KiB per read from the image
constexpr uint8_t kFlagDirectory = 0x02;
constexpr uint8_t kFlagMoreExtents = 0x80;
constexpr uint8_t kFlagHidden = 0x01;

struct ImageCloser {
    void operator()(iso9660_t* iso) const { iso9660_close(iso); }
};

struct CdCloser {
    void operator()(CdIo_t* cd) const { cdio_destroy(cd); }
};

// libcdio reports its troubles on standard error by itself; the host says what went wrong in
// one line of its own instead.
void SilentLog(cdio_log_level_t, const char*) {}

struct Extent {
    uint32_t block = 0;
    uint32_t size = 0;
};

struct Node {
    std::string name;  // UTF-8 for Joliet, the recorded bytes otherwise
    bool directory = false;
    bool hidden = false;
    std::optional<int64_t> modified;
    std::vector<Extent> extents;
    bool interleaved = false;
};

// A plain image: the blocks back to back, from the file's start.
class PlainImageBlocks final : public Blocks {
public:
    explicit PlainImageBlocks(std::unique_ptr<iso9660_t, ImageCloser> image) : image_(std::move(image)) {}

    void Read(void* into, uint32_t block, std::size_t count) const override {
        const long got = iso9660_iso_seek_read(image_.get(), into, static_cast<lsn_t>(block), static_cast<long>(count));
        if (got < 0 || static_cast<std::size_t>(got) < count * kBlock) {
            throw EndsBefore(block, count);
        }
    }

private:
    std::unique_ptr<iso9660_t, ImageCloser> image_;
};

// libcdio is never given the user's cue sheet: its parser writes outside its memory on some odd
// sheets, and it reads the frames of NAME.cue from NAME.bin beside it whatever file the sheet
// names. It gets a sheet of the host's own for the data track alone, disc.cue, and beside it
// disc.bin, a link to the track's file, in a folder of their own. libcdio reads the sheet when it
// opens it and keeps the file open from its first read on, so the folder goes as soon as the
// primary descriptor has been read: a host that is killed later leaves nothing behind.
class CdImageLinks {
public:
    explicit CdImageLinks(const CdImageFiles& files) : folder_("wertowik-cd-", "reading " + files.sheet.string()) {
        std::error_code error;
        fs::create_symlink(fs::absolute(files.frames), folder_.path() / "disc.bin", error);
        const int failure = error ? error.value() : WriteSheet(files.track.mode);
        if (failure != 0) {
            throw HostError(WriteFailureCode(failure), Say("cannot prepare the reading of {1}: {2}",
                                                           files.sheet.string(), std::strerror(failure)));
        }
    }

    fs::path Sheet() const { return folder_.path() / "disc.cue"; }

private:
    static const char* ModeName(TrackMode mode) {
        switch (mode) {
            case TrackMode::Mode1Raw: return "MODE1/2352";
            case TrackMode::Mode2Raw: return "MODE2/2352";
            case TrackMode::Mode1Plain: return "MODE1/2048";
        }
        return "MODE1/2352";
    }

    // The sheet written; the system's error when it could not be, else 0.
    int WriteSheet(TrackMode mode) const {
        const std::string text =
            std::string("FILE \"disc.bin\" BINARY\n  TRACK 01 ") + ModeName(mode) + "\n    INDEX 01 00:00:00\n";
        const int fd = ::open(Sheet().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            return errno;
        }
        const ssize_t written = ::write(fd, text.data(), text.size());
        const int error = written < 0 ? errno : static_cast<std::size_t>(written) < text.size() ? ENOSPC : 0;
        return ::close(fd) != 0 && error == 0 ? errno : error;
    }

    ScratchFolder folder_;  // the sheet and the link, never what it leads to
};

// A CD image as its cue sheet describes it: each block in the user data of its frame.
class CdImageBlocks final : public Blocks {
public:
    explicit CdImageBlocks(std::unique_ptr<CdIo_t, CdCloser> cd) : cd_(std::move(cd)) {}

    void Read(void* into, uint32_t block, std::size_t count) const override {
        if (count > 0 && cdio_read_data_sectors(cd_.get(), into, static_cast<lsn_t>(block), kBlock,
                                                static_cast<uint32_t>(count)) != DRIVER_OP_SUCCESS) {
            throw EndsBefore(block, count);
        }
    }

private:
    std::unique_ptr<CdIo_t, CdCloser> cd_;
};

class IsoFile final : public SourceFile {
public:
    IsoFile(SharedBlocks blocks, std::vector<Extent> extents)
        : blocks_(std::move(blocks)), extents_(std::move(extents)) {
        for (const Extent& extent : extents_) {
            size_ += extent.size;
        }
    }

    int64_t Size() const override { return static_cast<int64_t>(size_); }

    std::size_t Read(void* buffer, std::size_t count) override {
        std::size_t done = 0;
        while (done < count && position_ < size_) {
            if (position_ < bufferStart_ || position_ >= bufferStart_ + buffer_.size()) {
                Fill();
            }
            const std::size_t offset = static_cast<std::size_t>(position_ - bufferStart_);
            const std::size_t n = std::min(count - done, buffer_.size() - offset);
            std::memcpy(static_cast<char*>(buffer) + done, buffer_.data() + offset, n);
            done += n;
            position_ += n;
        }
        return done;
    }

private:
    // Loads the blocks from the position on, within the extent that holds it.
    void Fill() {
        uint64_t extentStart = 0;
        for (const Extent& extent : extents_) {
            if (position_ < extentStart + extent.size) {
                const uint64_t into = position_ - extentStart;
                const uint64_t firstBlock = into / kBlock;
                const uint64_t left = extent.size - firstBlock * kBlock;
                const std::size_t blocks =
                    static_cast<std::size_t>(std::min<uint64_t>(kReadBlocks, (left + kBlock - 1) / kBlock));
                buffer_.resize(blocks * kBlock);
                blocks_->Read(buffer_.data(), extent.block + static_cast<uint32_t>(firstBlock), blocks);
                buffer_.resize(static_cast<std::size_t>(std::min<uint64_t>(buffer_.size(), left)));
                bufferStart_ = extentStart + firstBlock * kBlock;
                return;
            }
            extentStart += extent.size;
        }
        throw std::runtime_error("read past the end of the file");
    }

    SharedBlocks blocks_;
    std::vector<Extent> extents_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    std::string buffer_;
    uint64_t bufferStart_ = 0;
};

// What opening an image tells: where its blocks come from, which tree to read, and its label.
struct OpenedImage {
    SharedBlocks blocks;
    bool joliet = false;
    Extent root;
    std::string label;
    uint64_t size = 0;  // the bytes of blocks the image holds
};

// The bytes a file or a drive holds; 0 when that cannot be told.
uint64_t BytesIn(const fs::path& image) {
    const int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    const off_t end = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

void CheckNotCutShort(const fs::path& image, uint64_t size, const iso9660_pvd_t& pvd) {
    const uint64_t announced = static_cast<uint64_t>(iso9660_get_pvd_space_size(&pvd)) * kBlock;
    if (size < announced) {
        throw DiscError(Say("{1} is cut short: {2} of the {3} bytes its volume descriptor announces", image.string(),
                            size, announced));
    }
}

// The root directory a descriptor records; a record that is empty or no directory's is damaged.
Extent RootOfRecord(const iso9660_dir_t& record, const fs::path& image) {
    if (from_711(record.length) == 0 || (record.file_flags & kFlagDirectory) == 0) {
        throw DiscError(Say("{1} has no readable root directory", image.string()));
    }
    return Extent{from_733(record.extent), from_733(record.size)};
}

// What the volume descriptors of an image of size bytes say: the tree to read (Joliet's when there
// is one) and the label, found as libiso9660 finds them.
OpenedImage DescribeVolume(SharedBlocks blocks, const iso9660_pvd_t& pvd, uint64_t size, const fs::path& image) {
    OpenedImage opened;
    opened.size = size;
    CheckNotCutShort(image, opened.size, pvd);
    const std::optional<iso9660_svd_t> joliet = JolietDescriptor(*blocks, opened.size);
    opened.joliet = joliet.has_value();
    opened.root = RootOfRecord(joliet ? joliet->root_directory_record : pvd.root_directory_record, image);
    opened.label = VolumeLabel(pvd, joliet);
    opened.blocks = std::move(blocks);
    return opened;
}

// blocksInTrack: where the data ends when audio follows it in the same file.
std::optional<OpenedImage> OpenPlainImage(const fs::path& image, std::optional<uint64_t> blocksInTrack = std::nullopt) {
    std::unique_ptr<iso9660_t, ImageCloser> iso(iso9660_open_ext(image.c_str(), ISO_EXTENSION_JOLIET));
    iso9660_pvd_t pvd{};
    if (!iso || !iso9660_ifs_read_pvd(iso.get(), &pvd)) {
        return std::nullopt;
    }
    const uint64_t size = std::min(BytesIn(image), blocksInTrack.value_or(UINT64_MAX / kBlock) * kBlock);
    return DescribeVolume(std::make_shared<PlainImageBlocks>(std::move(iso)), pvd, size, image);
}

std::optional<OpenedImage> OpenCdImage(const fs::path& image, bool isSheet) {
    const std::optional<CdImageFiles> files = FindCdImageFiles(image, isSheet);
    if (!files) {
        return std::nullopt;
    }
    if (files->track.mode == TrackMode::Mode1Plain) {
        return OpenPlainImage(files->frames, files->track.nextTrackAt);
    }
    auto links = std::make_unique<CdImageLinks>(*files);
    std::unique_ptr<CdIo_t, CdCloser> cd(cdio_open_bincue(links->Sheet().c_str()));
    iso9660_pvd_t pvd{};
    if (!cd || !iso9660_fs_read_pvd(cd.get(), &pvd)) {
        return std::nullopt;
    }
    links.reset();
    // The data track ends with its file, or where the next track in that file begins.
    const lsn_t framesInFile = cdio_get_disc_last_lsn(cd.get());
    if (framesInFile < 0) {
        throw DiscError(Say("{1}: the length of its data track cannot be told", image.string()));
    }
    uint64_t blocks = static_cast<uint64_t>(framesInFile);
    if (files->track.nextTrackAt) {
        blocks = std::min(blocks, *files->track.nextTrackAt);
    }
    return DescribeVolume(std::make_shared<CdImageBlocks>(std::move(cd)), pvd, blocks * kBlock, image);
}

// A data track found by the image's bytes or descriptor (image_layout.h), read by the host itself;
// a plain image as libiso9660 reads it.
std::optional<OpenedImage> OpenLocatedImage(const fs::path& image) {
    const std::optional<DataTrack> track = LocateDataTrack(image);
    if (!track || (track->file == image && track->offset == 0 && track->sectorSize == kBlock && !track->sectors)) {
        return OpenPlainImage(image);
    }
    auto blocks = std::make_shared<TrackBlocks>(*track);
    iso9660_pvd_t pvd{};
    static_assert(sizeof pvd == kBlock);
    try {
        blocks->Read(&pvd, ISO_PVD_SECTOR, 1);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
    if (from_711(pvd.type) != ISO_VD_PRIMARY || std::memcmp(pvd.id, "CD001", sizeof pvd.id) != 0) {
        return std::nullopt;
    }
    const uint64_t size = blocks->Count() * kBlock;
    return DescribeVolume(std::move(blocks), pvd, size, image);
}

class IsoDisc final : public DiscSource {
public:
    IsoDisc(const fs::path& image, std::optional<std::string> location)
        : location_(location ? *location : fs::absolute(image).lexically_normal().string()) {
        cdio_log_set_handler(&SilentLog);
        // A cue sheet beside a .bin file is heeded first: it may say where the data track ends.
        const bool sheet = !NamesCdImage(image) && HoldsCueSheet(image);
        std::optional<OpenedImage> opened = NamesCdImage(image) || sheet ? OpenCdImage(image, sheet) : std::nullopt;
        if (!opened) {
            opened = OpenLocatedImage(image);
        }
        if (!opened) {
            throw NotAnImageError(Say("{1} is not an ISO 9660 image{2}", image.string(), CdImageHint(image)));
        }
        blocks_ = std::move(opened->blocks);
        joliet_ = opened->joliet;
        imageSize_ = opened->size;
        root_.directory = true;
        root_.extents.push_back(opened->root);
        label_ = std::move(opened->label);
        try {
            Directory({});  // an unreadable root is a bad image now, not a failure inside a library
        } catch (const std::runtime_error& problem) {
            throw DiscError(Say("{1} has no readable root directory: {2}", image.string(), problem.what()));
        }
    }

    std::vector<SourceEntry> List(const std::vector<std::string>& directory) override {
        std::vector<SourceEntry> entries;
        for (const Node& node : Directory(directory).nodes) {
            SourceEntry entry{node.name, node.directory};
            if (!node.directory) {
                for (const Extent& extent : node.extents) {
                    entry.size += extent.size;
                }
            }
            entry.modified = node.modified;
            entry.hidden = node.hidden;
            if (node.directory && !node.extents.empty()) {
                entry.device = 1;  // a folder of an image is known by where its records lie
                entry.inode = node.extents.front().block;
            }
            entries.push_back(std::move(entry));
        }
        return entries;
    }

    std::unique_ptr<SourceFile> Open(const std::vector<std::string>& file) override {
        const Node& node = Find(file);
        if (node.directory) {
            throw std::runtime_error("a directory, not a file: " + Joined(file));
        }
        if (node.interleaved) {
            throw std::runtime_error("an interleaved file cannot be read: " + Joined(file));
        }
        // Each piece lies within the image, and so does their sum: pieces of a sound image never
        // overlap, while a damaged one may name the same blocks over and over.
        uint64_t total = 0;
        for (const Extent& extent : node.extents) {
            total += extent.size;
            if (!WithinImage(extent) || total > imageSize_) {
                throw std::runtime_error("a damaged file record, it claims more than the image holds: " + Joined(file));
            }
        }
        return std::make_unique<IsoFile>(blocks_, node.extents);
    }

    std::optional<std::string> Label() override { return label_; }

    std::string Location() const override { return location_; }

    std::optional<fs::path> LocalFile(const std::vector<std::string>&) override { return std::nullopt; }

private:
    static std::string Joined(const std::vector<std::string>& names) {
        std::string path;
        for (const std::string& name : names) {
            path += "/" + name;
        }
        return path.empty() ? "/" : path;
    }

    // A damaged record may claim gigabytes: nothing is set aside for what the image cannot hold.
    bool WithinImage(const Extent& extent) const { return uint64_t{extent.block} * kBlock + extent.size <= imageSize_; }

    // A directory's entries as they lie on the image, and where each name is among them: read and
    // indexed once, so that opening each of a hundred thousand files in one directory costs a
    // lookup, not a walk over the whole directory.
    struct Listing {
        std::vector<Node> nodes;
        std::unordered_map<std::string, std::size_t> byName;  // the first entry of each name
    };

    const Node& Find(const std::vector<std::string>& names) {
        if (names.empty()) {
            return root_;
        }
        const std::vector<std::string> parent(names.begin(), names.end() - 1);
        const Listing& listing = Directory(parent);
        if (const auto at = listing.byName.find(names.back()); at != listing.byName.end()) {
            return listing.nodes[at->second];
        }
        throw std::runtime_error("no such entry on the image: " + Joined(names));
    }

    const Listing& Directory(const std::vector<std::string>& names) {
        if (auto cached = directories_.find(names); cached != directories_.end()) {
            return cached->second;
        }
        const Node& directory = Find(names);
        if (!directory.directory) {
            throw std::runtime_error("not a directory: " + Joined(names));
        }
        Listing listing;
        listing.nodes = ReadDirectory(directory);
        listing.byName.reserve(listing.nodes.size());
        for (std::size_t i = 0; i < listing.nodes.size(); ++i) {
            listing.byName.emplace(listing.nodes[i].name, i);
        }
        return directories_.emplace(names, std::move(listing)).first->second;
    }

    // The directory's records, walked as they lie in its extent: a record never crosses a block
    // boundary, and a zero length byte means the rest of the block is empty. The extent is read a
    // few blocks at a time: a damaged record may claim gigabytes of empty blocks for a directory,
    // and the memory taken is what its records hold, not what it claims.
    std::vector<Node> ReadDirectory(const Node& directory) {
        const Extent extent = directory.extents.front();
        if (!WithinImage(extent)) {
            throw std::runtime_error("a damaged directory record in " + location_);
        }
        std::vector<Node> nodes;
        bool continues = false;  // the last record said its file goes on in the next record
        std::string bytes;       // the blocks read and not yet walked
        uint64_t readUpTo = 0;   // bytes of the extent read so far
        std::size_t at = 0;      // where the walk stands in bytes
        for (;;) {
            // Two records at most reach over the end of what is read: keep reading ahead of the walk.
            if ((at >= bytes.size() || bytes.size() - at < 2 * 256) && readUpTo < extent.size) {
                bytes.erase(0, at - at % kBlock);
                at %= kBlock;
                const uint64_t blocksRead = readUpTo / kBlock;
                const std::size_t count = static_cast<std::size_t>(
                    std::min<uint64_t>(kReadBlocks, (uint64_t{extent.size} + kBlock - 1) / kBlock - blocksRead));
                const std::size_t kept = bytes.size();
                bytes.resize(kept + count * kBlock);
                blocks_->Read(bytes.data() + kept, extent.block + static_cast<uint32_t>(blocksRead), count);
                readUpTo += uint64_t{count} * kBlock;
                if (readUpTo > extent.size) {
                    bytes.resize(bytes.size() - static_cast<std::size_t>(readUpTo - extent.size));
                    readUpTo = extent.size;
                }
            }
            if (at >= bytes.size()) {
                break;
            }
            const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
            const std::size_t length = data[at];
            if (length == 0) {
                at = (at / kBlock + 1) * kBlock;
                continue;
            }
            if (length < 34 || at + length > bytes.size() || 33u + data[at + 32] > length) {
                throw std::runtime_error("a damaged directory record in " + location_);
            }
            const unsigned char* record = data + at;
            at += length;
            const std::string_view recorded(reinterpret_cast<const char*>(record + 33), record[32]);
            if (recorded.size() == 1 && (recorded[0] == '\0' || recorded[0] == '\1')) {
                continue;  // the directory itself and its parent
            }
            const std::string_view fields(reinterpret_cast<const char*>(record), 14);
            const Extent piece{static_cast<uint32_t>(bytes::Little(fields, 2, 4)) + record[1],
                               static_cast<uint32_t>(bytes::Little(fields, 10, 4))};
            const uint8_t flags = record[25];
            const std::string name = PlainName(joliet_ ? JolietNameToUtf8(recorded) : std::string(recorded), joliet_);
            if (continues && !nodes.empty() && nodes.back().name == name) {
                nodes.back().extents.push_back(piece);
            } else {
                Node node;
                node.name = name;
                node.directory = (flags & kFlagDirectory) != 0;
                node.hidden = (flags & kFlagHidden) != 0;
                node.modified = RecordedTime(record + 18);
                node.extents.push_back(piece);
                node.interleaved = record[26] != 0;
                nodes.push_back(std::move(node));
            }
            continues = (flags & kFlagMoreExtents) != 0;
        }
        return nodes;
    }

    std::string location_;
    SharedBlocks blocks_;
    bool joliet_ = false;
    uint64_t imageSize_ = 0;
    Node root_;
    std::string label_;
    std::map<std::vector<std::string>, Listing> directories_;
};

}  // namespace

std::unique_ptr<DiscSource> OpenIsoDisc(const fs::path& image, std::optional<std::string> location) {
    return std::make_unique<IsoDisc>(image, std::move(location));
}

std::unique_ptr<DiscSource> OpenDisc(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) {
        return OpenFolderDisc(path);
    }
    // An image is a file, or a drive's block device; a pipe or a character device would be read
    // without end, or wait for a writer that never comes.
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_block_file(status)) {
        throw DiscError(Say("{1} is neither a folder nor an image file", path.string()));
    }
    return OpenIsoDisc(path);
}

}  // namespace wertowik
