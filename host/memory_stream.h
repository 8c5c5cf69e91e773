// The host's streams: bytes in memory behind the HostStream method table.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "contract/host_stream.h"

namespace wertowik {

class MemoryStream {
public:
    enum class Operation { Size, SetPosition, Write };

    MemoryStream() : object_{{&kMethods}, this}, variable_(&object_.base) {}
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    virtual ~MemoryStream() = default;

    // The host's variable that holds the stream, as RegisterCD receives it.
    HostStream** variable() { return &variable_; }
    // The content, joined into one text when it is asked for.
    const std::string& bytes() const {
        if (!joinedIsCurrent_) {
            joined_ = Join(false);
            joinedIsCurrent_ = true;
        }
        return joined_;
    }
    int64_t position() const { return static_cast<int64_t>(position_); }

    // The content, handed over: the stream is empty afterwards. Each block is let go as soon as it
    // is copied, so the content is not held twice.
    std::string TakeBytes() {
        std::string taken = joinedIsCurrent_ ? std::move(joined_) : Join(true);
        Clear();
        return taken;
    }

    // Replaces the content and moves to its start.
    void Preload(const std::string& bytes) {
        Clear();
        Put(bytes.data(), bytes.size());
        position_ = 0;
    }

protected:
    // Whether the next operation may go ahead; a refused one reports a failure to the library.
    virtual bool Allow(Operation) { return true; }

private:
    struct Object {
        HostStream base;
        MemoryStream* owner;
    };

    // The content lives in blocks that double in size up to 1 MiB and are never moved: a stream
    // that grows costs its own size, not twice its size while a buffer is reallocated.
    static constexpr std::size_t kFirstBlock = 4096;
    static constexpr std::size_t kLargestBlock = std::size_t{1} << 20;
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t start = 0;  // offset of its first byte in the stream
        std::size_t size = 0;   // room it has
    };

    static MemoryStream& Of(HostStream* self) { return *reinterpret_cast<Object*>(self)->owner; }

    void Clear() {
        blocks_.clear();
        size_ = 0;
        position_ = 0;
        joined_.clear();
        joined_.shrink_to_fit();
        joinedIsCurrent_ = true;
    }

    std::string Join(bool release) const {
        std::string joined;
        joined.reserve(size_);
        for (Block& block : blocks_) {
            joined.append(block.bytes.get(), std::min(block.size, size_ - block.start));
            if (release) {
                block.bytes.reset();
            }
        }
        return joined;
    }

    // Writes count bytes at the position and moves behind them.
    void Put(const char* data, std::size_t count) {
        const std::size_t end = position_ + count;
        while (blocks_.empty() || blocks_.back().start + blocks_.back().size < end) {
            const std::size_t room = blocks_.empty() ? kFirstBlock : std::min(blocks_.back().size * 2, kLargestBlock);
            const std::size_t start = blocks_.empty() ? 0 : blocks_.back().start + blocks_.back().size;
            blocks_.push_back(Block{std::unique_ptr<char[]>(new char[room]), start, room});
        }
        auto block = std::upper_bound(blocks_.begin(), blocks_.end(), position_,
                                      [](std::size_t at, const Block& b) { return at < b.start; }) - 1;
        for (std::size_t at = position_; at < end; ++block) {
            const std::size_t n = std::min(end - at, block->start + block->size - at);
            std::memcpy(block->bytes.get() + (at - block->start), data + (at - position_), n);
            at += n;
        }
        position_ = end;
        size_ = std::max(size_, end);
        joinedIsCurrent_ = false;
    }

    static int64_t WTK_STDCALL Size(HostStream* self) {
        MemoryStream& s = Of(self);
        return s.Allow(Operation::Size) ? static_cast<int64_t>(s.size_) : -1;
    }

    static int32_t WTK_STDCALL SetPosition(HostStream* self, int64_t position) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::SetPosition) || position < 0 || position > static_cast<int64_t>(s.size_)) {
            return 0;
        }
        s.position_ = static_cast<std::size_t>(position);
        return 1;
    }

    static int32_t WTK_STDCALL Write(HostStream* self, const void* buffer, int32_t count) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::Write) || count < 0) {
            return 0;
        }
        s.Put(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
        return count;
    }

    static constexpr HostStreamMethods kMethods{&Size, &SetPosition, &Write};

    Object object_;
    HostStream* variable_;
    mutable std::vector<Block> blocks_;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
    mutable std::string joined_;
    mutable bool joinedIsCurrent_ = true;
};

}  // namespace wertowik
