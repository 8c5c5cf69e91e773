// A HostStream over memory for tests, able to fail at its k-th operation.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "contract/host_stream.h"

namespace wtk::test {

class MemoryHostStream {
public:
    enum class Failure { None, Size, SetPosition, ShortWrite, AnyOperation };

    MemoryHostStream() : object_{&kMethods, this}, pointer_(&object_.base) {}
    MemoryHostStream(const MemoryHostStream&) = delete;
    MemoryHostStream& operator=(const MemoryHostStream&) = delete;

    HostStream** variable() { return &pointer_; }
    const std::string& bytes() const { return bytes_; }
    int64_t position() const { return position_; }
    int operations() const { return operations_; }

    void Preload(const std::string& bytes) {
        bytes_ = bytes;
        position_ = 0;
    }
    // The k-th operation (1-based) of the given kind fails; AnyOperation: whatever it is.
    void FailAt(int k, Failure failure) {
        failAt_ = k;
        failure_ = failure;
    }

private:
    struct Object {
        HostStream base;
        MemoryHostStream* owner;
    };

    static MemoryHostStream& Of(HostStream* self) { return *reinterpret_cast<Object*>(self)->owner; }

    bool Fails(Failure kind) {
        ++operations_;
        if (failure_ == Failure::None) {
            return false;
        }
        if (failure_ != Failure::AnyOperation && failure_ != kind) {
            return false;
        }
        return ++counted_ == failAt_;
    }

    static int64_t WTK_STDCALL Size(HostStream* self) {
        MemoryHostStream& s = Of(self);
        return s.Fails(Failure::Size) ? -1 : static_cast<int64_t>(s.bytes_.size());
    }
    static int32_t WTK_STDCALL SetPosition(HostStream* self, int64_t position) {
        MemoryHostStream& s = Of(self);
        if (s.Fails(Failure::SetPosition) || position < 0 || position > static_cast<int64_t>(s.bytes_.size())) {
            return 0;
        }
        s.position_ = position;
        return 1;
    }
    static int32_t WTK_STDCALL Write(HostStream* self, const void* buffer, int32_t count) {
        MemoryHostStream& s = Of(self);
        if (s.Fails(Failure::ShortWrite) || count < 0) {
            return 0;
        }
        const std::size_t at = static_cast<std::size_t>(s.position_);
        if (s.bytes_.size() < at + count) {
            s.bytes_.resize(at + count);
        }
        std::memcpy(s.bytes_.data() + at, buffer, static_cast<std::size_t>(count));
        s.position_ += count;
        return count;
    }

    static constexpr HostStreamMethods kMethods{&Size, &SetPosition, &Write};

    Object object_;
    HostStream* pointer_;
    std::string bytes_;
    int64_t position_ = 0;
    int operations_ = 0;
    int counted_ = 0;
    int failAt_ = 0;
    Failure failure_ = Failure::None;
};

}  // namespace wtk::test
