#include "stand_ins.h"

#include <shellapi.h>

#include "import_table.h"
#include "runtime_stream.h"

extern "C" void wtk_test_RaiseInHostFrame(uint32_t code, int32_t* unwound);
extern "C" void __stdcall wtk_test_RtlUnwind(void* targetFrame, void* targetIp, EXCEPTION_RECORD* record,
                                             void* returnValue);

// Counts a library's call of RtlUnwind; nonzero when this one returns as the NT family's does.
extern "C" int wtk_test_UnwindReturnsAsNt() {
    wtk::win32test::StandInLog& log = wtk::win32test::Log();
    return ++log.unwindCalls == 1 && log.ntStyleUnwind ? 1 : 0;
}

namespace wtk::win32test {

namespace {

std::optional<std::string> Text(const char* text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

bool CriticalErrorsOff() { return (GetErrorMode() & SEM_FAILCRITICALERRORS) != 0; }

void NoteDiscAccess(const char* function, const char* path) {
    Log().discAccess.push_back({function, path != nullptr ? path : "", CriticalErrorsOff()});
}

int Answer(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_YESNO:
            return Log().questionAnswer;
        case MB_OK:
            return IDOK;
        default:
            return IDCANCEL;
    }
}

int WINAPI StandInMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    const int answer = Answer(flags);
    Log().boxes.push_back({owner, text != nullptr ? text : "", Text(caption), flags, answer});
    return answer;
}

HWND WINAPI StandInGetActiveWindow() { return FakeActiveWindow(); }

HINSTANCE WINAPI StandInShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                      INT show) {
    Log().opened.push_back({owner, Text(verb), Text(file), Text(parameters), Text(directory), show});
    // Above 32 is success.
    return reinterpret_cast<HINSTANCE>(42);
}

BOOL WINAPI StandInGetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial,
                                         LPDWORD maximumComponentLength, LPDWORD flags, LPSTR fileSystem,
                                         DWORD fileSystemSize) {
    NoteDiscAccess("GetVolumeInformationA", root);
    return GetVolumeInformationA(root, label, labelSize, serial, maximumComponentLength, flags, fileSystem,
                                 fileSystemSize);
}

DWORD WINAPI StandInGetFileAttributesA(LPCSTR path) {
    NoteDiscAccess("GetFileAttributesA", path);
    return GetFileAttributesA(path);
}

HANDLE WINAPI StandInFindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    NoteDiscAccess("FindFirstFileA", pattern);
    return FindFirstFileA(pattern, found);
}

BOOL WINAPI StandInFindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found) {
    NoteDiscAccess("FindNextFileA", "");
    return FindNextFileA(search, found);
}

HANDLE WINAPI StandInCreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD attributes, HANDLE templateFile) {
    NoteDiscAccess("CreateFileA", path);
    return CreateFileA(path, access, share, security, disposition, attributes, templateFile);
}

// The view's size is its file's size when the library maps all of the file.
std::size_t ViewSize(const void* base) {
    MEMORY_BASIC_INFORMATION region{};
    return VirtualQuery(base, &region, sizeof region) != 0 ? region.RegionSize : 0;
}

// Makes the pages of the view from its middle on inaccessible.
void MakeTailUnreadable(StandInLog::View& view) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::size_t from = view.size / 2 / system.dwPageSize * system.dwPageSize;
    DWORD old = 0;
    if (from < view.size &&
        VirtualProtect(const_cast<char*>(view.base) + from, view.size - from, PAGE_NOACCESS, &old)) {
        view.unreadableFrom = view.base + from;
    }
}

LPVOID WINAPI StandInMapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T size) {
    void* const base = MapViewOfFile(mapping, access, offsetHigh, offsetLow, size);
    if (base == nullptr) {
        return base;
    }
    StandInLog::View view{static_cast<const char*>(base), ViewSize(base), nullptr};
    if (Log().unreadableViewTails) {
        MakeTailUnreadable(view);
    }
    Log().views.push_back(view);
    return base;
}

LPVOID WINAPI StandInVirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
    if (address != nullptr && Log().noMemoryAtGivenAddresses) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    return VirtualAlloc(address, size, type, protection);
}

DWORD WINAPI StandInGetVersion() {
    // Windows 98 SE: version 4.10, build 2222, and the high bit of the 9x family.
    return Log().windows98 ? 0xC8AE0A04u : GetVersion();
}

BOOL WINAPI StandInReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped) {
    if (Log().largeReadsFail && wanted >= (1u << 20)) {
        if (got != nullptr) {
            *got = 0;
        }
        SetLastError(ERROR_CRC);
        return FALSE;
    }
    return ReadFile(file, buffer, wanted, got, overlapped);
}

struct StandIn {
    const char* dll;
    const char* function;
    const void* replacement;
};

const StandIn kStandIns[] = {
    {"user32.dll", "MessageBoxA", reinterpret_cast<const void*>(&StandInMessageBoxA)},
    {"user32.dll", "GetActiveWindow", reinterpret_cast<const void*>(&StandInGetActiveWindow)},
    {"shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&StandInShellExecuteA)},
    {"kernel32.dll", "GetVolumeInformationA", reinterpret_cast<const void*>(&StandInGetVolumeInformationA)},
    {"kernel32.dll", "GetFileAttributesA", reinterpret_cast<const void*>(&StandInGetFileAttributesA)},
    {"kernel32.dll", "FindFirstFileA", reinterpret_cast<const void*>(&StandInFindFirstFileA)},
    {"kernel32.dll", "FindNextFileA", reinterpret_cast<const void*>(&StandInFindNextFileA)},
    {"kernel32.dll", "CreateFileA", reinterpret_cast<const void*>(&StandInCreateFileA)},
    {"kernel32.dll", "MapViewOfFile", reinterpret_cast<const void*>(&StandInMapViewOfFile)},
    {"kernel32.dll", "VirtualAlloc", reinterpret_cast<const void*>(&StandInVirtualAlloc)},
    {"kernel32.dll", "GetVersion", reinterpret_cast<const void*>(&StandInGetVersion)},
    {"kernel32.dll", "ReadFile", reinterpret_cast<const void*>(&StandInReadFile)},
    {"kernel32.dll", "RtlUnwind", reinterpret_cast<const void*>(&wtk_test_RtlUnwind)},
    {"ntdll.dll", "RtlUnwind", reinterpret_cast<const void*>(&wtk_test_RtlUnwind)},
};

}  // namespace

StandInLog& Log() {
    static StandInLog log;
    return log;
}

void ResetLog(int questionAnswer) {
    Log() = StandInLog{};
    Log().questionAnswer = questionAnswer;
}

HWND FakeActiveWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x00ACE000)); }

void WINAPI ProgressCallback(int32_t percent) {
    StandInLog& log = Log();
    if (!log.countProgressOnly) {
        log.progress.push_back(percent);
    }
    ++log.progressCalls;
    if (static_cast<int>(log.progressCalls) == log.unreadableViewTailsAtProgress) {
        for (StandInLog::View& view : log.views) {
            MakeTailUnreadable(view);
        }
    }
    if (static_cast<int>(log.progressCalls) == log.raiseAtProgress) {
        wtk_test_RaiseInHostFrame(kRuntimeExceptionCode, &Log().progressFramesUnwound);
    }
}

std::vector<std::string> InstallStandIns(HMODULE module) {
    std::vector<std::string> installed;
    for (const StandIn& standIn : kStandIns) {
        if (ReplaceImport(module, standIn.dll, standIn.function, standIn.replacement)) {
            std::string dll(standIn.dll);
            installed.push_back(dll.substr(0, dll.find('.')) + "!" + standIn.function);
        }
    }
    return installed;
}

}  // namespace wtk::win32test
