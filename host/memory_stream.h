// The host's streams: bytes in memory behind the HostStream method table.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

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
    const std::string& bytes() const { return bytes_; }
    int64_t position() const { return position_; }

    // Replaces the content and moves to its start.
    void Preload(const std::string& bytes) {
        bytes_ = bytes;
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

    static int64_t WTK_STDCALL Size(HostStream* self) {
        MemoryStream& s = Of(self);
        return s.Allow(Operation::Size) ? static_cast<int64_t>(s.bytes_.size()) : -1;
    }

    static int32_t WTK_STDCALL SetPosition(HostStream* self, int64_t position) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::SetPosition) || position < 0 || position > static_cast<int64_t>(s.bytes_.size())) {
            return 0;
        }
        s.position_ = position;
        return 1;
    }

    static int32_t WTK_STDCALL Write(HostStream* self, const void* buffer, int32_t count) {
        MemoryStream& s = Of(self);
        if (!s.Allow(Operation::Write) || count < 0) {
            return 0;
        }
        const std::size_t at = static_cast<std::size_t>(s.position_);
        const std::size_t n = static_cast<std::size_t>(count);
        if (s.bytes_.size() < at + n) {
            s.bytes_.resize(at + n);
        }
        std::memcpy(s.bytes_.data() + at, buffer, n);
        s.position_ += count;
        return count;
    }

    static constexpr HostStreamMethods kMethods{&Size, &SetPosition, &Write};

    Object object_;
    HostStream* variable_;
    std::string bytes_;
    int64_t position_ = 0;
};

}  // namespace wertowik
