// The host's calls where the host is wertowik: plain C functions that answer failures in their results.
#include "host_calls.h"

#include "errors.h"

namespace wtk {

int64_t HostStreamSize(HostStream* stream) {
    const int64_t size = stream->methods->Size(stream);
    if (size < 0) {
        throw PluginError("stream size query failed");
    }
    return size;
}

void HostStreamSetPosition(HostStream* stream, int64_t position) {
    if (stream->methods->SetPosition(stream, position) == 0) {
        throw PluginError("stream positioning failed");
    }
}

void HostStreamWrite(HostStream* stream, const void* bytes, int32_t count) {
    if (stream->methods->Write(stream, bytes, count) < count) {
        throw PluginError("stream write failed");
    }
}

void HostProgress(TProgressProc progress, int32_t percent) { progress(percent); }

}  // namespace wtk
