#include "host/discs/images/image_blocks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

namespace {

constexpr std::size_t kBlock = 2048;
constexpr std::size_t kVolumeDescriptorBlock = 16;
constexpr std::size_t kReadSectors = 32;  // at most this many sectors per read of the file

// A volume descriptor's opening bytes: its type, then "CD001".
bool IsVolumeDescriptor(std::string_view head, uint64_t at) {
    return head.size() >= at + 6 && head.substr(at + 1, 5) == "CD001" && head[at] != '\0';
}

}  // namespace

std::runtime_error EndsBefore(uint32_t block, std::size_t count) {
    return std::runtime_error("the image ends before block " + std::to_string(block + count - 1));
}

ImageFile::ImageFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        const int error = errno;
        if (fd_ >= 0) {
            ::close(fd_);
        }
        throw HostError(kExitNoInput, Say("cannot read {1}: {2}", path.string(), std::strerror(error)));
    }
    if (S_ISREG(status.st_mode)) {
        size_ = static_cast<uint64_t>(status.st_size);
    } else {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        size_ = end < 0 ? 0 : static_cast<uint64_t>(end);
    }
}

ImageFile::~ImageFile() { ::close(fd_); }

std::string ImageFile::ReadAt(uint64_t offset, std::size_t count) const {
    if (offset >= size_) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(std::min<uint64_t>(count, size_ - offset)), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw HostError(kExitIoError, Say("cannot read the image: {1}", std::strerror(errno)));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

bool ImageFile::ReadExactly(void* into, uint64_t offset, std::size_t count) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd_, static_cast<char*>(into) + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool IsFrameSync(const unsigned char* bytes) {
    static constexpr unsigned char kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    return std::memcmp(bytes, kSync, sizeof kSync) == 0;
}

std::optional<uint32_t> UserDataOffset(uint32_t sectorSize, int describedMode, std::string_view firstSector) {
    switch (sectorSize) {
        case 2048: return 0;
        case 2336: return 8;  // the subheader, then the block
        case 2352:
        case 2448: break;
        default: return std::nullopt;
    }
    int mode = describedMode;
    if (firstSector.size() >= 16 && IsFrameSync(reinterpret_cast<const unsigned char*>(firstSector.data())) &&
        (firstSector[15] == 1 || firstSector[15] == 2)) {
        mode = firstSector[15];
    }
    return mode == 2 ? 24 : 16;
}

std::optional<DataTrack> TrackOfBareFrames(std::string_view head) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    if (head.size() >= 16 && IsFrameSync(bytes) && (bytes[15] == 1 || bytes[15] == 2)) {
        DataTrack track;
        // Frames with their 96 bytes of subchannel behind them have the next sync 2448 bytes on.
        const bool subchannel = head.size() >= 2448 + 12 && IsFrameSync(bytes + 2448) &&
                                !(head.size() >= 2352 + 12 && IsFrameSync(bytes + 2352));
        track.sectorSize = subchannel ? 2448 : 2352;
        track.userData = bytes[15] == 2 ? 24 : 16;
        return track;
    }
    for (const auto& [size, user] : {std::pair<uint32_t, uint32_t>{2048, 0}, {2336, 8}}) {
        if (IsVolumeDescriptor(head, kVolumeDescriptorBlock * size + user)) {
            DataTrack track;
            track.sectorSize = size;
            track.userData = user;
            return track;
        }
    }
    return std::nullopt;
}

TrackBlocks::TrackBlocks(DataTrack track) : track_(std::move(track)), file_(track_.file) {
    const uint64_t size = file_.Size();
    if (size > track_.offset && track_.sectorSize >= kBlock && track_.userData <= track_.sectorSize - kBlock) {
        const uint64_t room = size - track_.offset;
        count_ = room / track_.sectorSize + (room % track_.sectorSize >= track_.userData + kBlock ? 1 : 0);
    }
    if (track_.sectors) {
        count_ = std::min(count_, *track_.sectors);
    }
    count_ = std::min<uint64_t>(count_, UINT32_MAX);
}

void TrackBlocks::Read(void* into, uint32_t block, std::size_t count) const {
    if (uint64_t{block} + count > count_) {
        throw EndsBefore(block, count);
    }
    auto* out = static_cast<char*>(into);
    const uint32_t size = track_.sectorSize;
    if (size == kBlock) {
        if (!file_.ReadExactly(out, track_.offset + uint64_t{block} * kBlock, count * kBlock)) {
            throw EndsBefore(block, count);
        }
        return;
    }
    std::string sectors;
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, kReadSectors);
        const uint64_t at = track_.offset + (uint64_t{block} + done) * size;
        sectors.resize(n * size);
        // The last sector of the file may end right behind its user data.
        const std::size_t wanted = (n - 1) * size + track_.userData + kBlock;
        if (!file_.ReadExactly(sectors.data(), at, wanted)) {
            throw EndsBefore(block, count);
        }
        for (std::size_t i = 0; i < n; ++i) {
            std::memcpy(out + (done + i) * kBlock, sectors.data() + i * size + track_.userData, kBlock);
        }
        done += n;
    }
}

}  // namespace wertowik
