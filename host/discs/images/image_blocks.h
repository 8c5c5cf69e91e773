// The 2048-byte blocks of the file system a disc image holds, wherever the image keeps them, and
// the one reader of a data track in a file: its sectors of some size at some offset, each with
// the block's bytes at some place within it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace wertowik {

class Blocks {
public:
    virtual ~Blocks() = default;
    // Reads whole blocks; throws when the image ends before them.
    virtual void Read(void* into, uint32_t block, std::size_t count) const = 0;
};
using SharedBlocks = std::shared_ptr<const Blocks>;

std::runtime_error EndsBefore(uint32_t block, std::size_t count);

// A file opened for reading, closed when the object goes.
class ImageFile {
public:
    // Throws a HostError (exit 66) when the file cannot be opened.
    explicit ImageFile(const std::filesystem::path& path);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile();

    uint64_t Size() const { return size_; }
    // Up to count bytes from the offset on, fewer at the file's end; throws when it cannot be read.
    std::string ReadAt(uint64_t offset, std::size_t count) const;
    // Exactly count bytes into the buffer; false at the file's end.
    bool ReadExactly(void* into, uint64_t offset, std::size_t count) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// A data track in a file: sectors of sectorSize bytes from offset on, each holding its block's
// 2048 bytes from userData on (0 in blocks back to back, 16 in a mode 1 frame, 24 in a mode 2
// one, 8 in a mode 2 sector without its sync and header).
struct DataTrack {
    std::filesystem::path file;
    uint64_t offset = 0;
    uint32_t sectorSize = 2048;
    uint32_t userData = 0;
    std::optional<uint64_t> sectors;  // the track's length when its descriptor tells it
};

// What a descriptor (a Nero track table, an MDS file, a CloneCD control file) says of the first
// track of a disc.
struct DescribedTrack {
    bool audio = false;
    uint64_t offset = 0;         // of its first sector (index 1) in the file of its frames
    uint32_t sectorSize = 2048;  // 2048, 2336, 2352 or 2448 (a frame with its subchannel)
    int mode = 1;                // 1 or 2: where a frame's user data begins, unless its header says
    std::optional<uint64_t> sectors;
    std::string file;  // the file of its frames as the descriptor names it, if it does
};

// The sync pattern that opens every data frame of a raw CD image.
bool IsFrameSync(const unsigned char* bytes);

// How a track's sectors of that size lie, told from its first sector's bytes where they say it (a
// raw frame's sync and mode byte), else from the mode the descriptor gives; nothing for a size no
// data track has.
std::optional<uint32_t> UserDataOffset(uint32_t sectorSize, int describedMode, std::string_view firstSector);

// How the bytes at the start of a file lie when they are a data track with no descriptor: raw
// frames (2352 bytes, or 2448 with their subchannel) by their sync pattern and mode byte, else
// sectors of 2048 or 2336 bytes with an ISO 9660 volume descriptor in the sixteenth. head holds the
// file's first bytes (some 40 KB are enough for any of them).
std::optional<DataTrack> TrackOfBareFrames(std::string_view head);

// The blocks of a data track, read from its file, which stays open as long as they are kept (so
// that a file in a temporary folder can go as soon as the image is open).
class TrackBlocks final : public Blocks {
public:
    // Throws a HostError when the file cannot be opened.
    explicit TrackBlocks(DataTrack track);

    void Read(void* into, uint32_t block, std::size_t count) const override;
    // How many whole blocks the track holds: as many as its file holds from its offset on, no more
    // than its descriptor says.
    uint64_t Count() const { return count_; }

private:
    DataTrack track_;
    ImageFile file_;
    uint64_t count_ = 0;
};

}  // namespace wertowik
