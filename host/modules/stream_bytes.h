// The content of one of the host's streams: in memory while it is small, in a temporary file once
// it grows large.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "host/modules/byte_buffer.h"

namespace wertowik {

// A stream of a large import holds about two thirds of the bytes the library reads, and the file
// the library reads is mapped while it writes: kept in memory, the stream would add its own size
// to the process's. Past kSpillThreshold bytes the content moves to a temporary file without a
// name (on Linux; elsewhere it stays in memory), and what is written after that gathers in a small
// buffer that goes to the file each time it fills. The content is mapped back from the file when
// it is looked at, once the library is done. When no temporary file can be made, the content stays
// in memory as before, and so does it when the file stops taking bytes (a full disk): the content
// then comes back into memory.
class StreamBytes {
public:
    static constexpr std::size_t kSpillThreshold = std::size_t{8} << 20;
    static constexpr std::size_t kTailBuffer = std::size_t{1} << 20;

    StreamBytes() = default;
    StreamBytes(const StreamBytes&) = delete;
    StreamBytes& operator=(const StreamBytes&) = delete;
    ~StreamBytes();

    std::size_t size() const { return fileSize_ + memory_.size(); }

    // Writes count bytes at position (at most size()); throws std::bad_alloc when the memory or the
    // file cannot take them, and then the content is as it was. Most writes append a few bytes to
    // memory that has room for them: that is done here, the rest out of line.
    void Write(std::size_t position, const char* data, std::size_t count) {
        if (!WriteInMemory(position, data, count)) {
            WriteElsewhere(position, data, count);
        }
    }

    // The common case of Write alone: count bytes at position into memory that has room for them,
    // where the content is not mapped; false, having done nothing, in any other case.
    bool WriteInMemory(std::size_t position, const char* data, std::size_t count) {
        if (!mapped_.empty() || position < fileSize_) {
            return false;
        }
        const std::size_t at = position - fileSize_;
        const std::size_t end = at + count;
        const bool roomy = spilled() ? memory_.size() < kTailBuffer : end <= threshold_;
        if (!roomy || end > memory_.capacity()) {
            return false;
        }
        if (end > memory_.size()) {
            memory_.Resize(end);
        }
        CopyBytes(memory_.data() + at, data, count);
        return true;
    }

    // The whole content, valid until the next write; throws std::bad_alloc when it cannot be mapped.
    std::string_view View();

    // The whole content, handed over without a copy: empty afterwards.
    ByteBuffer Take();

    // Empty, in memory.
    void Clear();

    // Whether the content has moved to a file (for tests).
    bool spilled() const { return file_ >= 0; }

    // Moves content of more than `threshold` bytes to a file (for tests; kSpillThreshold by default).
    void SetSpillThreshold(std::size_t threshold) { threshold_ = threshold; }

private:
    // memcpy, with the short copies most writes make (an entry's header, a name, a version) done in
    // two overlapping moves of a fixed size instead of a call.
    static void CopyBytes(char* to, const char* from, std::size_t count) {
        constexpr std::size_t kWord = 8;
        constexpr std::size_t kHalf = 4;
        if (count > 2 * kWord) {
            std::memcpy(to, from, count);
        } else if (count >= kWord) {
            std::memcpy(to, from, kWord);
            std::memcpy(to + count - kWord, from + count - kWord, kWord);
        } else if (count >= kHalf) {
            std::memcpy(to, from, kHalf);
            std::memcpy(to + count - kHalf, from + count - kHalf, kHalf);
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                to[i] = from[i];
            }
        }
    }

    void WriteElsewhere(std::size_t position, const char* data, std::size_t count);
    void Spill();
#if defined(__linux__)
    // A write once the content is in the file; throws std::bad_alloc when the file takes no more.
    void WriteToFile(std::size_t position, const char* data, std::size_t count);
    // Brings the content back into memory for good; throws std::bad_alloc when it cannot.
    void Unspill();
#endif
    // Writes the buffered tail to the file; throws std::bad_alloc when it cannot.
    void Flush();
    void CloseFile();

    ByteBuffer memory_;  // the whole content, or once spilled the bytes behind the file's
    int file_ = -1;      // the temporary file, once spilled
    std::size_t fileSize_ = 0;
    bool spillFailed_ = false;  // no file could be made: the content stays in memory
    std::size_t threshold_ = kSpillThreshold;
    ByteBuffer mapped_;  // the file's content as last looked at
};

}  // namespace wertowik
