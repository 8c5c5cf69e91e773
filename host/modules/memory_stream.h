// The host's streams: bytes behind the HostStream method table, in memory while they are few and
// in a temporary file once they are many (StreamBytes).
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "contract/host_stream.h"
#include "host/modules/byte_buffer.h"
#include "host/modules/entry_tally.h"
#include "host/modules/stream_bytes.h"

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
    // The content, valid until the next write.
    std::string_view bytes() const { return content_.View(); }
    int64_t position() const { return static_cast<int64_t>(position_); }

    // The content, handed over without a copy: the stream is empty afterwards.
    ByteBuffer TakeBytes() {
        position_ = 0;
        return content_.Take();
    }

    // Only tallies the entries the library writes instead of keeping them: the stream holds
    // nothing, and a write anywhere but at its end is refused. For an empty stream only.
    void TallyInto(EntryTally* tally) {
        tally_ = tally;
        object_.base.methods = &kTallyMethods;
    }

    // Moves content of more than `threshold` bytes to a temporary file (for tests).
    void SetSpillThreshold(std::size_t threshold) { content_.SetSpillThreshold(threshold); }
    // Whether the content went to a temporary file (for tests).
    bool Spilled() const { return content_.spilled(); }

    // Replaces the content and moves to its start.
    void Preload(std::string_view bytes) {
        content_.Clear();
        position_ = 0;
        content_.Write(0, bytes.data(), bytes.size());
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

    static MemoryStream& Of(HostStream* self) { return *reinterpret_cast<Object*>(self)->owner; }

    // Writes count bytes at the position and moves behind them.
    void Put(const char* data, std::size_t count) {
        content_.Write(position_, data, count);
        position_ += count;
    }

    std::size_t size() const { return tally_ != nullptr ? tallied_ : content_.size(); }

    static int64_t Size(HostStream* self) {
        MemoryStream& s = Of(self);
        return s.Allow(Operation::Size) ? static_cast<int64_t>(s.size()) : -1;
    }

    static int32_t SetPosition(HostStream* self, int64_t position) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::SetPosition) || position < 0 || position > static_cast<int64_t>(s.size())) {
            return 0;
        }
        s.position_ = static_cast<std::size_t>(position);
        return 1;
    }

    // Most writes append a few bytes to memory that has room for them: they are done here, without
    // the frame of the out-of-line path that may run out of memory.
    static int32_t Write(HostStream* self, const void* buffer, int32_t count) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::Write) || count < 0) {
            return 0;
        }
        const char* data = static_cast<const char*>(buffer);
        const auto size = static_cast<std::size_t>(count);
        if (s.content_.WriteInMemory(s.position_, data, size)) {
            s.position_ += size;
            return count;
        }
        return s.PutElsewhere(data, size) ? count : 0;
    }

    // Put, reporting no room as false: the library sees a failed write.
    [[gnu::noinline]] bool PutElsewhere(const char* data, std::size_t count) {
        try {
            Put(data, count);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // Write for a stream that only tallies: what is already there was not kept, so only a write at
    // the end goes ahead.
    static int32_t TallyWrite(HostStream* self, const void* buffer, int32_t count) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::Write) || count < 0 || s.position_ != s.tallied_) {
            return 0;
        }
        const auto size = static_cast<std::size_t>(count);
        s.tally_->Take(static_cast<const char*>(buffer), size);
        s.tallied_ += size;
        s.position_ += size;
        return count;
    }

    static constexpr HostStreamMethods kMethods{&Size, &SetPosition, &Write};
    static constexpr HostStreamMethods kTallyMethods{&Size, &SetPosition, &TallyWrite};

    Object object_;
    HostStream* variable_;
    mutable StreamBytes content_;  // looking at it maps what went to the file
    std::size_t position_ = 0;
    EntryTally* tally_ = nullptr;
    std::size_t tallied_ = 0;  // the bytes tallied
};

}  // namespace wertowik
