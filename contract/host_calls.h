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
void HostStreamWrite(HostStream* stream, const void* bytes, int32_t count);
void HostProgress(TProgressProc progress, int32_t percent);

}  // namespace wtk
