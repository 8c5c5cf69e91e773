// The host's stream objects as the host's runtime makes them: an object whose first field is the
// address of its class's method table, of which a library may call exactly three slots in the
// runtime's register convention (0 size query, 4 write, 6 seek). Every other slot is a trap. Each
// stream can be told to fail at its k-th operation of a kind, by its result or by raising the
// runtime's non-continuable exception from inside a frame of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contract/host_stream.h"

namespace wtk::win32test {

// A stream's bytes in one reserved stretch of address space whose pages are committed as the
// bytes grow: a long stream is not copied whenever it outgrows its room, and its pages are brought
// into memory once, as the host's own streams grow (where the system can move pages instead of
// copying them).
class ReservedBytes {
public:
    ReservedBytes() = default;
    ReservedBytes(const ReservedBytes&) = delete;
    ReservedBytes& operator=(const ReservedBytes&) = delete;
    ~ReservedBytes();

    std::string_view view() const { return std::string_view(base_, base_ != nullptr ? size_ : 0); }
    std::size_t size() const { return size_; }
    // From now on only the size is kept, not the bytes: the view is empty.
    void KeepNothing() { keep_ = false; }
    void Assign(std::string_view bytes);
    // Puts count bytes at `at` (at most the size), growing the bytes where they run past the end.
    void Write(std::size_t at, const char* bytes, std::size_t count);

private:
    void Make(std::size_t wanted);
    void Reserve(std::size_t wanted);

    char* base_ = nullptr;
    std::size_t size_ = 0;
    std::size_t committed_ = 0;
    std::size_t reserved_ = 0;
    bool keep_ = true;
};

// The code the host's runtime raises its exceptions with.
inline constexpr uint32_t kRuntimeExceptionCode = 0x0EEDFADE;

class RuntimeStream {
public:
    enum class Failure { None, Size, SetPosition, ShortWrite, RaiseInSize, RaiseInSeek, RaiseInWrite };

    RuntimeStream();
    RuntimeStream(const RuntimeStream&) = delete;
    RuntimeStream& operator=(const RuntimeStream&) = delete;

    // The host's variable that holds the stream, as RegisterCD receives it.
    HostStream** variable() { return &variable_; }
    std::string_view bytes() const { return content_.view(); }
    int64_t position() const { return position_; }

    // Replaces the content and moves to its start.
    void Preload(std::string_view bytes);
    // Keeps the stream's size and position but not its bytes (for a fresh stream whose bytes
    // nobody looks at).
    void KeepNothing() { content_.KeepNothing(); }
    // The k-th (1-based) operation of the failure's kind fails that way.
    void FailAt(int k, Failure failure);

    // What the library did that the runtime's objects do not allow: a call of another slot, a seek
    // from another origin, the object or the variable changed. Empty when it behaved.
    std::vector<std::string> Misuse() const;
    // How often an unwind passed through the stream's own frame (its cleanup ran).
    int32_t hostFramesUnwound() const { return unwound_; }

private:
    struct Object {
        HostStream base;
        RuntimeStream* owner;
    };
    enum class Kind { Size, Seek, Write };

    static int64_t __attribute__((regparm(1))) SizeMethod(Object* self);
    static int32_t __attribute__((regparm(3))) WriteMethod(Object* self, const void* buffer, int32_t count);
    static int64_t __attribute__((regparm(2), stdcall)) SeekMethod(Object* self, uint32_t origin, int64_t offset);
    template <int Slot>
    static void __attribute__((regparm(3))) TrapMethod(Object* self);
    template <int... Slots>
    static const void* const* MethodTable(std::integer_sequence<int, Slots...>);

    // Whether this operation fails, and how.
    Failure Next(Kind kind);
    void Raise();

    Object object_;
    HostStream* variable_;
    ReservedBytes content_;
    int64_t position_ = 0;
    Failure failure_ = Failure::None;
    int failAt_ = 0;
    int counted_ = 0;
    int32_t unwound_ = 0;
    std::vector<std::string> misuse_;
};

}  // namespace wtk::win32test
