// The host's stream object as it crosses the plug-in boundary.
#pragma once

#include <cstdint>

#include "records.h"

extern "C" {

#if defined(_WIN32)

// On Windows the host passes objects of the stream class of the runtime library it shares with
// the libraries. All that is known of one here is its first field, the address of the class's
// method table; host_calls_win32.cpp calls three of its slots in the runtime's register convention.
struct HostStream {
    const void* const* methods;
};

#else

struct HostStream;

// Elsewhere the host hands over an object of its own making: three plain C functions, in this order.
struct HostStreamMethods {
    int64_t (*Size)(HostStream* self);                                      // negative: failure
    int32_t (*SetPosition)(HostStream* self, int64_t position);             // 0: failure
    int32_t (*Write)(HostStream* self, const void* buffer, int32_t count);  // < count: failure
};

struct HostStream {
    const HostStreamMethods* methods;
};

#endif

}  // extern "C"
