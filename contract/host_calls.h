// Every call a library makes into the host's code: the three stream operations and the progress
// callback. Each either does what was asked or throws a PluginError: the host's code reported a
// failure (on Windows by raising an exception, which stops at the call), or its result says so (a
// negative size, another position than the one asked, fewer bytes written than given).
#pragma once

#include <cstdint>

#include "host_stream.h"
#include "records.h"

namespace wtk {

int64_t HostStreamSize(HostStream* stream);
void HostStreamSetPosition(HostStream* stream, int64_t position);

#if defined(_WIN32)

void HostStreamWrite(HostStream* stream, const void* bytes, int32_t count);
void HostProgress(TProgressProc progress, int32_t percent);

#else

// Throws the PluginError of a failed call into the host.
[[noreturn]] void ThrowHostFailure(const char* what);

// Where the host is wertowik its calls are plain C calls that answer failures in their results:
// the two made for every entry and every line are inline, so that each costs the one call into
// the host.
inline void HostStreamWrite(HostStream* stream, const void* bytes, int32_t count) {
    if (stream->methods->Write(stream, bytes, count) < count) {
        ThrowHostFailure("stream write failed");
    }
}

inline void HostProgress(TProgressProc progress, int32_t percent) { progress(percent); }

#endif

}  // namespace wtk
