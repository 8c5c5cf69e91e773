#include "host/modules/byte_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace wertowik {

namespace {

#if defined(__linux__)
#define WERTOWIK_MAPPED_BUFFER 1
#endif

constexpr std::size_t kSmallestMapping = std::size_t{64} << 10;
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

#ifdef WERTOWIK_MAPPED_BUFFER
// Large mappings are better backed by large pages: far fewer faults while they are first written.
// Only advice; the system may ignore it.
void AdviseLargePages(char* bytes, std::size_t capacity) {
    if (capacity >= 2 * kLargePage) {
        ::madvise(bytes, capacity, MADV_HUGEPAGE);
    }
}

// Room for `capacity` bytes, the content of the old room moved along (not copied); null on failure.
char* Regrow(char* bytes, std::size_t oldCapacity, std::size_t capacity) {
    void* grown = bytes == nullptr
                      ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                      : ::mremap(bytes, oldCapacity, capacity, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) {
        return nullptr;
    }
    AdviseLargePages(static_cast<char*>(grown), capacity);
    return static_cast<char*>(grown);
}

void Release(char* bytes, std::size_t capacity) { ::munmap(bytes, capacity); }
#else
// Elsewhere (the Windows test host's streams) the heap does.
char* Regrow(char* bytes, std::size_t, std::size_t capacity) {
    return static_cast<char*>(std::realloc(bytes, capacity));
}

void Release(char* bytes, std::size_t) { std::free(bytes); }
#endif

}  // namespace

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      fileMapped_(std::exchange(other.fileMapped_, false)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        Clear();
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        fileMapped_ = std::exchange(other.fileMapped_, false);
    }
    return *this;
}

ByteBuffer::~ByteBuffer() { Clear(); }

void ByteBuffer::Clear() {
    if (bytes_ != nullptr) {
        Release(bytes_, capacity_);
    }
    bytes_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    fileMapped_ = false;
}

void ByteBuffer::Grow(std::size_t size) {
    const std::size_t capacity = RoundUp(std::max({size, capacity_ * 2, kSmallestMapping}), kSmallestMapping);
    if (fileMapped_) {
        ByteBuffer copy;
        copy.Resize(capacity);
        std::memcpy(copy.bytes_, bytes_, size_);
        copy.size_ = size_;
        *this = std::move(copy);
        return;
    }
    char* grown = Regrow(bytes_, capacity_, capacity);
    if (grown == nullptr) {
        throw std::bad_alloc();
    }
    bytes_ = grown;
    capacity_ = capacity;
}

#if defined(__linux__)
ByteBuffer ByteBuffer::MapFile(int fd, std::size_t size) {
    ByteBuffer mapped;
    if (size == 0) {
        return mapped;
    }
    void* bytes = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) {
        throw std::bad_alloc();
    }
    mapped.bytes_ = static_cast<char*>(bytes);
    mapped.size_ = size;
    mapped.capacity_ = size;
    mapped.fileMapped_ = true;
    return mapped;
}
#endif

}  // namespace wertowik
