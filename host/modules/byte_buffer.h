// Bytes in one piece of memory that grows without its content being copied.
#pragma once

#include <cstddef>
#include <string_view>

namespace wertowik {

// The memory is mapped from the system directly: pages are only taken once they are written,
// and growing remaps the pages already there instead of copying them, so a stream of tens of
// megabytes costs its own size once. Bytes between the old size and a new, larger size hold
// whatever was last written there (zeros when nothing was).
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ~ByteBuffer();

    std::string_view view() const { return std::string_view(bytes_, size_); }
    operator std::string_view() const { return view(); }
    const char* data() const { return bytes_; }
    char* data() { return bytes_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    std::size_t capacity() const { return capacity_; }

    // Makes the buffer `size` bytes long; throws std::bad_alloc when the memory cannot be had.
    void Resize(std::size_t size) {
        if (size > capacity_) {
            Grow(size);
        }
        size_ = size;
    }
    // Lets all memory go; the buffer is empty.
    void Clear();

#if defined(__linux__)
    // The first `size` bytes of an open file, mapped (a write changes the buffer, not the file);
    // the mapping outlives the descriptor. Throws std::bad_alloc when the file cannot be mapped.
    static ByteBuffer MapFile(int fd, std::size_t size);
#endif

private:
    // Room for at least `size` bytes, the content kept.
    void Grow(std::size_t size);

    char* bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool fileMapped_ = false;  // a file's mapping: grown by a copy, as its pages end with the file
};

}  // namespace wertowik
