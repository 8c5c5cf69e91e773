// Mapped files that change while they are read.
#pragma once

#include <cstddef>

namespace wertowik {

// A file mapped into memory that another program cuts short while it is read would end the
// process with a bus error at the first page past its new end. Registered mappings are guarded
// instead: such a fault replaces the rest of the mapping with zero pages, so the reader sees NUL
// bytes and goes on, and the mapping is marked as cut. Faults elsewhere go to whatever handled
// them before.
class MappingGuard {
public:
    // Guards the mapping at bytes; false when no more mappings can be guarded (then it must not be
    // used as a mapping).
    static bool Watch(const char* bytes, std::size_t size);
    // Whether the guarded mapping at bytes was cut.
    static bool WasCut(const char* bytes);
    // Ends the guard of a mapping; called before it is unmapped.
    static void Release(const char* bytes);
};

}  // namespace wertowik
