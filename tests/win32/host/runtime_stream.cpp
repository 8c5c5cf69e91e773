#include "runtime_stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" void wtk_test_RaiseInHostFrame(uint32_t code, int32_t* unwound);

namespace wtk::win32test {

namespace {

constexpr int kSlots = 16;
constexpr int kSizeSlot = 0;
constexpr int kWriteSlot = 4;
constexpr int kSeekSlot = 6;
constexpr uint32_t kTrapCode = 0xE0DE0000;

// The address space a stream reserves at first, and the steps its pages are committed in.
constexpr std::size_t kFirstReservation = std::size_t{64} << 20;
constexpr std::size_t kCommitStep = std::size_t{1} << 20;

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

ReservedBytes::~ReservedBytes() {
    if (base_ != nullptr) {
        VirtualFree(base_, 0, MEM_RELEASE);
    }
}

void ReservedBytes::Assign(std::string_view bytes) {
    size_ = 0;
    Write(0, bytes.data(), bytes.size());
}

void ReservedBytes::Write(std::size_t at, const char* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (!keep_) {
        size_ = std::max(size_, at + count);
        return;
    }
    Make(at + count);
    // Most writes are an entry's few fields of a few dozen bytes, copied here rather than by a call
    // into the system's C runtime, whose copy costs more to start than these take.
    constexpr std::size_t kShortWrite = 64;
    if (count <= kShortWrite) {
        for (std::size_t i = 0; i < count; ++i) {
            base_[at + i] = bytes[i];
        }
    } else {
        std::memcpy(base_ + at, bytes, count);
    }
    size_ = std::max(size_, at + count);
}

// Committed room for `wanted` bytes.
void ReservedBytes::Make(std::size_t wanted) {
    if (wanted <= committed_) {
        return;
    }
    if (wanted > reserved_) {
        Reserve(wanted);
    }
    const std::size_t commit = std::min(reserved_, RoundUp(wanted, kCommitStep));
    if (VirtualAlloc(base_ + committed_, commit - committed_, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        throw std::bad_alloc();
    }
    committed_ = commit;
}

// A larger stretch, twice the old one at least, holding the bytes so far; the only copy.
void ReservedBytes::Reserve(std::size_t wanted) {
    const std::size_t size = RoundUp(std::max({wanted, 2 * reserved_, kFirstReservation}), kCommitStep);
    auto* const base = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_READWRITE));
    if (base == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t commit = RoundUp(size_, kCommitStep);
    if (commit > 0 && VirtualAlloc(base, commit, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        VirtualFree(base, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
    if (size_ > 0) {
        std::memcpy(base, base_, size_);
    }
    if (base_ != nullptr) {
        VirtualFree(base_, 0, MEM_RELEASE);
    }
    base_ = base;
    reserved_ = size;
    committed_ = commit;
}

template <int Slot>
void RuntimeStream::TrapMethod(Object* self) {
    self->owner->misuse_.push_back("called slot " + std::to_string(Slot));
    wtk_test_RaiseInHostFrame(kTrapCode | Slot, &self->owner->unwound_);
}

template <int... Slots>
const void* const* RuntimeStream::MethodTable(std::integer_sequence<int, Slots...>) {
    static const void* const table[] = {
        (Slots == kSizeSlot    ? reinterpret_cast<const void*>(&SizeMethod)
         : Slots == kWriteSlot ? reinterpret_cast<const void*>(&WriteMethod)
         : Slots == kSeekSlot  ? reinterpret_cast<const void*>(&SeekMethod)
                               : reinterpret_cast<const void*>(&TrapMethod<Slots>))...};
    return table;
}

RuntimeStream::RuntimeStream()
    : object_{HostStream{MethodTable(std::make_integer_sequence<int, kSlots>())}, this},
      variable_(&object_.base) {}

void RuntimeStream::Preload(std::string_view bytes) {
    content_.Assign(bytes);
    position_ = 0;
}

void RuntimeStream::FailAt(int k, Failure failure) {
    failAt_ = k;
    failure_ = failure;
    counted_ = 0;
}

std::vector<std::string> RuntimeStream::Misuse() const {
    std::vector<std::string> misuse = misuse_;
    if (variable_ != &object_.base) {
        misuse.push_back("the host's variable was changed");
    }
    if (object_.base.methods != MethodTable(std::make_integer_sequence<int, kSlots>()) || object_.owner != this) {
        misuse.push_back("the stream object was changed");
    }
    return misuse;
}

RuntimeStream::Failure RuntimeStream::Next(Kind kind) {
    auto kindOf = [](Failure failure) {
        switch (failure) {
            case Failure::Size:
            case Failure::RaiseInSize: return Kind::Size;
            case Failure::SetPosition:
            case Failure::RaiseInSeek: return Kind::Seek;
            default: return Kind::Write;
        }
    };
    if (failure_ == Failure::None || kindOf(failure_) != kind || ++counted_ != failAt_) {
        return Failure::None;
    }
    return failure_;
}

void RuntimeStream::Raise() { wtk_test_RaiseInHostFrame(kRuntimeExceptionCode, &unwound_); }

int64_t RuntimeStream::SizeMethod(Object* self) {
    RuntimeStream& s = *self->owner;
    switch (s.Next(Kind::Size)) {
        case Failure::Size: return -1;
        case Failure::RaiseInSize: s.Raise(); return -1;
        default: return static_cast<int64_t>(s.content_.size());
    }
}

int64_t RuntimeStream::SeekMethod(Object* self, uint32_t origin, int64_t offset) {
    RuntimeStream& s = *self->owner;
    if (origin != 0) {
        s.misuse_.push_back("seek with EDX " + std::to_string(origin) + ", not 0 (from the beginning)");
    }
    switch (s.Next(Kind::Seek)) {
        case Failure::SetPosition: return offset + 1;
        case Failure::RaiseInSeek: s.Raise(); return -1;
        default: break;
    }
    if (offset < 0 || offset > static_cast<int64_t>(s.content_.size())) {
        return s.position_;  // the runtime's streams cannot move there
    }
    s.position_ = offset;
    return s.position_;
}

int32_t RuntimeStream::WriteMethod(Object* self, const void* buffer, int32_t count) {
    RuntimeStream& s = *self->owner;
    switch (s.Next(Kind::Write)) {
        case Failure::ShortWrite: return 0;
        case Failure::RaiseInWrite: s.Raise(); return 0;
        default: break;
    }
    if (count <= 0) {
        return 0;
    }
    // The bytes from the position on are overwritten, and what runs past the end is added, in one
    // step: a write at the end, as nearly every one is, appends without clearing the room first.
    const auto at = static_cast<std::size_t>(s.position_);
    s.content_.Write(at, static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    s.position_ += count;
    return count;
}

}  // namespace wtk::win32test
