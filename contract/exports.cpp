// The exports every library shares, each a thin call into the frames.
#include "exports.h"

#include "plugin.h"

extern "C" {

WTK_EXPORT int32_t Info(void) { return wtk::RunInfo(wtk::ThisPlugin()); }

WTK_EXPORT const char* PluginName(void) { return wtk::ThisPlugin().pluginName; }

WTK_EXPORT const char* CDName(void) { return wtk::ThisPlugin().cdName; }

WTK_EXPORT uint8_t CanYouRegister(void) { return wtk::RunCanYouRegister(wtk::ThisPlugin()); }

WTK_EXPORT uint8_t WTK_STDCALL RegisterCD(HostStream** discStream, HostStream** entryStream, wtk::TDiscRecord record,
                                          wtk::TProgressProc progress) {
    return wtk::RunRegisterCD(wtk::ThisPlugin(), discStream, entryStream, record, progress);
}
}
