// The host's calls on 32-bit Windows: methods of the stream class of the host's runtime, and the
// stdcall progress callback, each made through the guard of win32_guard.S.
//
// The stream class's method table, in the runtime's register convention (first three 32-bit
// arguments in EAX, EDX, ECX; 64-bit arguments on the stack, removed by the callee; results in
// EAX or EDX:EAX):
//   slot 0  size query                 EAX = object                           -> EDX:EAX
//   slot 4  write (buffer, count)      EAX = object, EDX = buffer, ECX = count -> EAX
//   slot 6  seek (offset, origin)      EAX = object, EDX = origin, 8-byte offset on the stack -> EDX:EAX
// Setting the position is a seek from the beginning (origin 0).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "errors.h"
#include "host_calls.h"
#include "win32_guard.h"


namespace wtk {

namespace {

constexpr std::size_t kSizeSlot = 0;
constexpr std::size_t kWriteSlot = 4;
constexpr std::size_t kSeekSlot = 6;
constexpr uint32_t kFromBeginning = 0;

struct Registers {
    uint32_t eax = 0;
    uint32_t edx = 0;
    uint32_t ecx = 0;
};

// The answer of one guarded call in EDX:EAX; a raised exception is thrown as a PluginError.
uint64_t CallHost(const void* target, const Registers& registers, const void* stackArguments,
                  uint32_t stackBytes, const char* what) {
    uint32_t result[2] = {0, 0};
    if (wtk_CallGuarded(target, registers.eax, registers.edx, registers.ecx, stackArguments, stackBytes, result,
                        nullptr) ==
        0) {
        throw PluginError(what);
    }
    return (static_cast<uint64_t>(result[1]) << 32) | result[0];
}

const void* Method(HostStream* stream, std::size_t slot) { return stream->methods[slot]; }

uint32_t Address(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

}  // namespace

int64_t HostStreamSize(HostStream* stream) {
    const auto size = static_cast<int64_t>(
        CallHost(Method(stream, kSizeSlot), Registers{Address(stream), 0, 0}, nullptr, 0, "stream size query raised"));
    if (size < 0) {
        throw PluginError("stream size query failed");
    }
    return size;
}

void HostStreamSetPosition(HostStream* stream, int64_t position) {
    uint32_t offset[2];
    std::memcpy(offset, &position, sizeof offset);  // low half at the lower address
    const auto reached = static_cast<int64_t>(CallHost(Method(stream, kSeekSlot),
                                                       Registers{Address(stream), kFromBeginning, 0}, offset,
                                                       sizeof offset, "stream positioning raised"));
    if (reached != position) {
        throw PluginError("stream positioning failed");
    }
}

void HostStreamWrite(HostStream* stream, const void* bytes, int32_t count) {
    const auto written = static_cast<int32_t>(static_cast<uint32_t>(
        CallHost(Method(stream, kWriteSlot), Registers{Address(stream), Address(bytes), static_cast<uint32_t>(count)},
                 nullptr, 0, "stream write raised")));
    if (written < count) {
        throw PluginError("stream write failed");
    }
}

void HostProgress(TProgressProc progress, int32_t percent) {
    CallHost(reinterpret_cast<const void*>(progress), Registers{}, &percent, sizeof percent, "progress raised");
}

}  // namespace wtk
