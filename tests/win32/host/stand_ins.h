// Stand-ins for the system calls a library makes, put into its import table: message boxes are
// recorded and answered, files handed to the shell are recorded instead of opened, and every disc
// access is recorded (and passed on to the system) together with whether the critical-error prompt
// was switched off at that moment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace wtk::win32test {

struct RecordedBox {
    HWND owner = nullptr;
    std::string text;
    std::optional<std::string> caption;  // nothing: the system's default caption
    UINT flags = 0;
    int answer = 0;  // the button the stand-in answered with
};

struct RecordedOpen {
    HWND owner = nullptr;
    std::optional<std::string> verb;
    std::optional<std::string> file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    int show = 0;
};

struct RecordedDiscAccess {
    std::string function;  // e.g. "GetVolumeInformationA"
    std::string path;
    bool criticalErrorsOff = false;  // SEM_FAILCRITICALERRORS was set during the call
};

// Everything the stand-ins saw since the last Reset, and how they answer.
struct StandInLog {
    std::vector<RecordedBox> boxes;
    std::vector<RecordedOpen> opened;
    std::vector<RecordedDiscAccess> discAccess;
    std::vector<int32_t> progress;  // values passed to ProgressCallback, unless only counted
    bool countProgressOnly = false;  // the values are not kept
    std::size_t progressCalls = 0;

    // The k-th call of ProgressCallback raises the host runtime's exception (0: none does), from
    // inside a frame of the host's whose cleanup counts progressFramesUnwound.
    int raiseAtProgress = 0;
    int32_t progressFramesUnwound = 0;

    int questionAnswer = IDNO;  // the button a Yes/No box answers with

    // With ntStyleUnwind the library's first call of RtlUnwind returns as on Windows NT, 2000 and
    // XP (EBX, ESI, EDI, ECX and EDX zero); later calls, which only a guard that faulted after its
    // unwind makes, return as Wine's does, so that such a guard still ends and is counted.
    bool ntStyleUnwind = false;
    int unwindCalls = 0;

    // Views of files the library mapped. With unreadableViewTails the pages of each view from its
    // middle on are made inaccessible, so that reading them faults (see MappedPageFaults).
    bool unreadableViewTails = false;
    struct View {
        const char* base = nullptr;
        std::size_t size = 0;
        const char* unreadableFrom = nullptr;  // nullptr: all of it readable
    };
    std::vector<View> views;
    // The k-th call of ProgressCallback makes the tails of the views made so far unreadable, as a
    // page dropped from memory and failing when read again would be (0: none does).
    int unreadableViewTailsAtProgress = 0;
    // VirtualAlloc refuses every request for given addresses, as where views lie in the arena that
    // Windows 95, 98 and ME share between processes.
    bool noMemoryAtGivenAddresses = false;
    // GetVersion answers as Windows 98 SE does.
    bool windows98 = false;
    // ReadFile fails, as on a bad sector, when asked for 1 MB or more at once.
    bool largeReadsFail = false;
};

StandInLog& Log();
void ResetLog(int questionAnswer = IDNO);

// What GetActiveWindow answers inside a library: a made-up handle that only the boxes see.
HWND FakeActiveWindow();

// The host's progress callback (stdcall), recording into Log().progress; it raises as Log() says.
void WINAPI ProgressCallback(int32_t percent);

// Puts the stand-ins into the module's import table. Returns the names of the stand-ins that were
// installed, as "user32!MessageBoxA"; a function the module does not import is left out.
std::vector<std::string> InstallStandIns(HMODULE module);

}  // namespace wtk::win32test
