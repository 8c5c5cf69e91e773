// Calling a library's export exactly as the 32-bit host does, and watching the stack while doing so.
#pragma once

#include <cstdint>
#include <vector>

namespace wtk::win32test {

// What one call did to the caller's machine state.
struct CallOutcome {
    uint32_t eax = 0;                 // the result register; one-byte results are its low byte
    int32_t stackDelta = 0;           // stack pointer after the call minus the one expected: 0 when balanced
    bool registersPreserved = false;  // EBX, ESI and EDI came back unchanged
    bool chainKept = false;           // the exception chain at fs:[0] is the one before the call
    bool escaped = false;             // a structured exception left the export (caught by the caller)

    uint8_t al() const { return static_cast<uint8_t>(eax & 0xFF); }
    bool balanced() const { return !escaped && stackDelta == 0 && registersPreserved && chainKept; }
};

// Calls `function` with EAX set to `eax` and the `arguments` bytes pushed as they lie in memory
// (the lowest address ends up at the top of the stack). The callee is expected to remove exactly
// those bytes, as a stdcall function does; a register-convention or argument-free function gets
// no bytes at all. A structured exception that leaves the export is caught here and reported in
// the outcome instead of ending the test program.
CallOutcome CallExport(const void* function, uint32_t eax, const std::vector<uint8_t>& arguments);

}  // namespace wtk::win32test
