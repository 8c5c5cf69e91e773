// The guarded call of win32_guard.S (32-bit Windows only).
#pragma once

#include <cstdint>

// The system's EXCEPTION_RECORD; declared here so that this header does not bring in windows.h.
struct _EXCEPTION_RECORD;

extern "C" {

// Which exceptions a guarded call takes: nonzero for those it ends the call with.
using wtk_ExceptionFilter = int (*)(const _EXCEPTION_RECORD* record);

// Calls target with EAX, EDX and ECX loaded and stackBytes bytes of stackArguments pushed; 1 with
// the target's EDX:EAX in result, or 0 when the target raised a structured exception that takes
// (all of them when takes is nullptr) accepts, after unwinding the frames above the call.
uint32_t wtk_CallGuarded(const void* target, uint32_t eax, uint32_t edx, uint32_t ecx, const void* stackArguments,
                         uint32_t stackBytes, uint32_t* result, wtk_ExceptionFilter takes);
}
