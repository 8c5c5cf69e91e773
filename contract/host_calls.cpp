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

void ThrowHostFailure(const char* what) { throw PluginError(what); }

}  // namespace wtk
