#include "host/modules/stream_bytes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#if defined(__linux__)
#include <fcntl.h>
#include <unistd.h>
#define WERTOWIK_SPILLED_STREAMS 1
#endif

namespace wertowik {

namespace {

#ifdef WERTOWIK_SPILLED_STREAMS
// A new file without a name in $TMPDIR (else /tmp), gone with its last descriptor or mapping; -1
// when none can be made.
int OpenNamelessFile() {
    const char* folder = std::getenv("TMPDIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        return fd;
    }
    std::string pattern = dir + "/wertowik-stream-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(pattern.c_str());
    }
    return named;
}

// Writes all bytes at offset; false when the file takes fewer.
bool WriteAt(int fd, const char* data, std::size_t count, std::size_t offset) {
    while (count > 0) {
        const ssize_t written = ::pwrite(fd, data, count, static_cast<off_t>(offset));
        if (written <= 0) {
            return false;
        }
        data += written;
        count -= static_cast<std::size_t>(written);
        offset += static_cast<std::size_t>(written);
    }
    return true;
}

// Reads size bytes from the file's start into memory; throws std::bad_alloc when it cannot.
ByteBuffer ReadBack(int fd, std::size_t size) {
    ByteBuffer bytes;
    bytes.Resize(size);
    for (std::size_t at = 0; at < size;) {
        const ssize_t got = ::pread(fd, bytes.data() + at, size - at, static_cast<off_t>(at));
        if (got <= 0) {
            throw std::bad_alloc();
        }
        at += static_cast<std::size_t>(got);
    }
    return bytes;
}
#endif

}  // namespace

StreamBytes::~StreamBytes() { CloseFile(); }

void StreamBytes::CloseFile() {
#ifdef WERTOWIK_SPILLED_STREAMS
    if (file_ >= 0) {
        ::close(file_);
    }
#endif
    file_ = -1;
    fileSize_ = 0;
}

void StreamBytes::Clear() {
    CloseFile();
    memory_.Clear();
    mapped_.Clear();
    spillFailed_ = false;
}

void StreamBytes::WriteElsewhere(std::size_t position, const char* data, std::size_t count) {
    mapped_.Clear();  // a view taken before no longer shows the content
    if (!spilled()) {
        const std::size_t end = position + count;
        if (end > memory_.size()) {
            memory_.Resize(end);
        }
        if (count > 0) {
            std::memcpy(memory_.data() + position, data, count);
        }
        if (memory_.size() > threshold_ && !spillFailed_) {
            Spill();
        }
        return;
    }
#ifdef WERTOWIK_SPILLED_STREAMS
    try {
        WriteToFile(position, data, count);
    } catch (const std::bad_alloc&) {
        // The file takes no more (a full disk): the content comes back into memory whole, and the
        // write is made there, as it would have been without the file.
        Unspill();
        WriteElsewhere(position, data, count);
    }
#endif
}

#ifdef WERTOWIK_SPILLED_STREAMS
void StreamBytes::WriteToFile(std::size_t position, const char* data, std::size_t count) {
    if (position < fileSize_) {
        // Into what the file holds already: the tail goes first, so that the file is the content.
        Flush();
        if (!WriteAt(file_, data, count, position)) {
            throw std::bad_alloc();
        }
        fileSize_ = std::max(fileSize_, position + count);
        return;
    }
    if (memory_.size() >= kTailBuffer) {
        Flush();
    }
    const std::size_t at = position - fileSize_;
    if (at + count > memory_.size()) {
        memory_.Resize(at + count);
    }
    if (count > 0) {
        std::memcpy(memory_.data() + at, data, count);
    }
}

void StreamBytes::Unspill() {
    ByteBuffer whole = ReadBack(file_, fileSize_);
    const std::size_t tail = memory_.size();
    whole.Resize(fileSize_ + tail);
    if (tail > 0) {
        std::memcpy(whole.data() + fileSize_, memory_.data(), tail);
    }
    CloseFile();
    memory_ = std::move(whole);
    spillFailed_ = true;
}
#endif

void StreamBytes::Spill() {
#ifdef WERTOWIK_SPILLED_STREAMS
    const int fd = OpenNamelessFile();
    if (fd < 0 || !WriteAt(fd, memory_.data(), memory_.size(), 0)) {
        if (fd >= 0) {
            ::close(fd);
        }
        spillFailed_ = true;
        return;
    }
    file_ = fd;
    fileSize_ = memory_.size();
    memory_.Clear();
#else
    spillFailed_ = true;
#endif
}

void StreamBytes::Flush() {
#ifdef WERTOWIK_SPILLED_STREAMS
    if (memory_.empty()) {
        return;
    }
    if (!WriteAt(file_, memory_.data(), memory_.size(), fileSize_)) {
        throw std::bad_alloc();
    }
    fileSize_ += memory_.size();
    memory_.Resize(0);
#endif
}

std::string_view StreamBytes::View() {
    if (!spilled()) {
        return memory_.view();
    }
#ifdef WERTOWIK_SPILLED_STREAMS
    Flush();
    if (mapped_.size() != fileSize_) {
        mapped_ = ByteBuffer::MapFile(file_, fileSize_);
    }
#endif
    return mapped_.view();
}

ByteBuffer StreamBytes::Take() {
    ByteBuffer taken;
    if (!spilled()) {
        taken = std::move(memory_);
    } else {
#ifdef WERTOWIK_SPILLED_STREAMS
        try {
            Flush();
            taken = ByteBuffer::MapFile(file_, fileSize_);
        } catch (const std::bad_alloc&) {
            // The file would not take the last bytes, or cannot be mapped: the content comes back
            // into memory whole.
            Unspill();
            taken = std::move(memory_);
        }
#endif
    }
    Clear();
    return taken;
}

}  // namespace wertowik
