// The host's stream object as it crosses the plug-in boundary.
#pragma once

#include <cstdint>

#include "records.h"

extern "C" {

struct HostStream;

// Three methods, in this order; stdcall on 32-bit Windows.
struct HostStreamMethods {
    int64_t(WTK_STDCALL* Size)(HostStream* self);                                   // negative: failure
    int32_t(WTK_STDCALL* SetPosition)(HostStream* self, int64_t position);          // 0: failure
    int32_t(WTK_STDCALL* Write)(HostStream* self, const void* buffer, int32_t count);  // < count: failure
};

struct HostStream {
    const HostStreamMethods* methods;
};

}  // extern "C"
