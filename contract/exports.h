// The exports the host binds by name: C linkage, undecorated names.
#pragma once

#include <cstdint>

#include "host_stream.h"
#include "records.h"

#if defined(_WIN32)
// Names and ordinals come from the .def file the build writes for each library (WertowikPlugin.cmake).
#define WTK_EXPORT
#if defined(__i386__)
#define WTK_REGISTER_CONVENTION __attribute__((regparm(1)))
#else
#define WTK_REGISTER_CONVENTION
#endif
#else
#define WTK_EXPORT __attribute__((visibility("default")))
#define WTK_REGISTER_CONVENTION
#endif

extern "C" {

// Every library but the stub.
WTK_EXPORT uint8_t WTK_REGISTER_CONVENTION InitializePlugin(char letter);

// Every library.
WTK_EXPORT int32_t Info(void);
WTK_EXPORT const char* PluginName(void);
WTK_EXPORT const char* CDName(void);
WTK_EXPORT uint8_t CanYouRegister(void);
WTK_EXPORT uint8_t WTK_STDCALL RegisterCD(HostStream** discStream, HostStream** entryStream, wtk::TDiscRecord record,
                                          wtk::TProgressProc progress);

// The stub library only.
WTK_EXPORT void Cancel(void);
}
