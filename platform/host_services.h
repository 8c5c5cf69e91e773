// The table of services a Linux host hands each module right after loading it
// (export WertowikAttachHost). All texts are NUL-terminated Windows-1250; paths are Windows paths.
#pragma once

#include <cstdint>

extern "C" {

#define WERTOWIK_HOST_SERVICES_VERSION 2u

struct WertowikFindData {
    char name[260];
    uint32_t attributes;
};

struct WertowikHostServices {
    uint32_t version;  // WERTOWIK_HOST_SERVICES_VERSION
    void* context;     // handed back as the first argument of every call

    // 1: a file (not a directory) exists; 0: it does not; negative: the test failed.
    int32_t (*FileExists)(void* context, const char* path);

    // 1: *found holds the first match and *search the open search; 0: nothing matches
    // (no search is open); negative: the search failed.
    int32_t (*FindFirst)(void* context, const char* pattern, uint32_t attributeMask, WertowikFindData* found,
                         void** search);
    // 1: *found holds the next match; 0: no more; negative: failure.
    int32_t (*FindNext)(void* context, void* search, WertowikFindData* found);
    void (*FindClose)(void* context, void* search);

    // 1: the whole file is in memory: *bytes points at its *size bytes, which stay readable (and
    // unchanged) until ReleaseWholeFile(context, *file); 0: no such file; negative: it cannot be
    // opened or read. The host may map a large file instead of copying it.
    int32_t (*ReadWholeFile)(void* context, const char* path, void** file, const char** bytes, int64_t* size);
    void (*ReleaseWholeFile)(void* context, void* file);

    // Nonzero on success: label (NUL-terminated, cut to size) of a root such as "E:\".
    int32_t (*VolumeLabel)(void* context, const char* root, char* label, uint32_t size);

    // Shows a box (caption NULL: the system's default); owned: nonzero for the active window. Returns the button.
    int32_t (*MessageBox)(void* context, const char* text, const char* caption, uint32_t flags, int32_t owned);

    // Opens a file with a verb such as "open"; the result is informative only.
    int32_t (*OpenFile)(void* context, const char* verb, const char* file);
};

}  // extern "C"
