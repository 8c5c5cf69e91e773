// The platform of a Windows DLL: the system's own calls. Disc access runs with the critical-error
// prompt switched off, so a drive without a disc answers "not there" instead of asking the user.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "contract/errors.h"
#include "contract/win32_guard.h"
#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>
// windows.h renames MessageBox to MessageBoxA; the interface keeps its own name.
#undef MessageBox

extern "C" void wtk_TouchPages();

namespace wtk::platform {

namespace {

// The show command ShellExecuteA gets: show the window in its current size and position.
constexpr int kShowCommand = 5;
// The label buffer of a volume query, terminator included.
constexpr DWORD kLabelBufferSize = 261;
// Attributes a search lists only when the mask asks for them, as the classic runtime's FindFirst does.
constexpr DWORD kSpecialAttributes = faHidden | faSysFile | faVolumeId | faDirectory;

// Switches the "no disk in drive" prompt off for its lifetime and then restores the previous mode.
class CriticalErrorsSuppressed {
public:
    CriticalErrorsSuppressed() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
        SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
    }
    CriticalErrorsSuppressed(const CriticalErrorsSuppressed&) = delete;
    CriticalErrorsSuppressed& operator=(const CriticalErrorsSuppressed&) = delete;
    ~CriticalErrorsSuppressed() { SetErrorMode(previous_); }

private:
    UINT previous_;
};

// A file handle, closed on every path.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool Excluded(DWORD attributes, uint32_t attributeMask) {
    const DWORD excluded = ~static_cast<DWORD>(attributeMask) & kSpecialAttributes;
    return (attributes & excluded) != 0;
}

DirEntry ToEntry(const WIN32_FIND_DATAA& found) {
    const std::size_t length = strnlen(found.cFileName, sizeof found.cFileName);
    return DirEntry{std::string(found.cFileName, length), static_cast<uint32_t>(found.dwFileAttributes)};
}

// FindFirstFileA/FindNextFileA/FindClose, skipping the entries the mask leaves out. Any failure of
// the system search, as for a missing folder or an empty drive, ends the listing.
class Win32Search final : public DirectorySearch {
public:
    Win32Search(const std::string& pattern, uint32_t attributeMask) : mask_(attributeMask) {
        const CriticalErrorsSuppressed quiet;
        WIN32_FIND_DATAA found{};
        handle_ = FindFirstFileA(pattern.c_str(), &found);
        if (handle_ != INVALID_HANDLE_VALUE) {
            pending_ = found;
        }
    }
    Win32Search(const Win32Search&) = delete;
    Win32Search& operator=(const Win32Search&) = delete;
    ~Win32Search() override { Close(); }

    std::optional<DirEntry> Next() override {
        const CriticalErrorsSuppressed quiet;
        while (pending_) {
            const WIN32_FIND_DATAA found = *pending_;
            Advance();
            if (!Excluded(found.dwFileAttributes, mask_)) {
                return ToEntry(found);
            }
        }
        return std::nullopt;
    }

private:
    void Advance() {
        WIN32_FIND_DATAA found{};
        if (handle_ != INVALID_HANDLE_VALUE && FindNextFileA(handle_, &found)) {
            pending_ = found;
        } else {
            pending_.reset();
            Close();
        }
    }

    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    uint32_t mask_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::optional<WIN32_FIND_DATAA> pending_;
};

// Reads up to `wanted` bytes into buffer, fewer only at the file's end; the count read.
std::size_t ReadInto(HANDLE file, char* buffer, std::size_t wanted) {
    std::size_t used = 0;
    while (used < wanted) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + used, static_cast<DWORD>(wanted - used), &got, nullptr)) {
            throw PluginError("cannot read file");
        }
        if (got == 0) {
            break;  // the end of the file
        }
        used += got;
    }
    return used;
}

// A buffer of `size` bytes holding the first `used` bytes of the old one.
std::unique_ptr<char[]> Grown(std::unique_ptr<char[]> old, std::size_t used, std::size_t size) {
    std::unique_ptr<char[]> grown(new char[size]);
    std::memcpy(grown.get(), old.get(), used);
    return grown;
}

// A whole file's bytes in a buffer of their own, which was never cleared before the file was read
// into it: clearing tens of megabytes only to overwrite them costs as much as reading them.
class HeapFileBytes final : public FileBytes {
public:
    HeapFileBytes(std::unique_ptr<char[]> bytes, std::size_t size) : bytes_(std::move(bytes)), size_(size) {}
    std::string_view View() const override { return std::string_view(bytes_.get(), size_); }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

// ---- mapped files --------------------------------------------------------------------------
//
// A large file is mapped rather than read: its bytes then come straight from the system's cache,
// where reading them would first have to bring a fresh buffer of the file's size into memory,
// page by page. A page of a view that cannot be read (a disc taken out, a bad sector) raises an
// in-page error where it is read. So that this never happens inside the library's own code, each
// page of a fresh view is read once at once under a guard (wtk_TouchPages), and a view with an
// unreadable page is given up like a file that cannot be read. Should a page be dropped from
// memory later and fail when it is read again, a guard around the whole of RunReadingFiles, which
// takes such failed reads alone, ends the work there: the frames above it are left without their cleanup, so
// it releases the views itself and fails the work (what those frames held on the heap is lost).
// Nothing is patched into the address space. Windows 95, 98 and ME keep views in the arena shared
// by every process, where none of this is to be relied on: there files are always read.

// Files of at least this size are mapped; smaller ones are read, which costs less than a mapping.
constexpr DWORD kSmallestMappedFile = 1u << 20;
// GetVersion's high bit: Windows 95, 98 or ME.
constexpr DWORD kWindows9x = 0x80000000u;

// The mapped files being read. One registration holds one or two at a time.
struct WatchedView {
    char* base = nullptr;
    std::size_t size = 0;
};
constexpr std::size_t kWatchedViews = 8;
WatchedView g_views[kWatchedViews];
// Whether RunReadingFiles is running, so that a failed read of a view would be taken; files are
// mapped only then.
bool g_watching = false;

bool ViewsCanBeWatched() { return (GetVersion() & kWindows9x) == 0; }

WatchedView* Watch(char* base, std::size_t size) {
    for (WatchedView& view : g_views) {
        if (view.base == nullptr) {
            view = WatchedView{base, size};
            return &view;
        }
    }
    return nullptr;
}

// Unmaps every view still watched: those whose owners were left behind by a failed read.
void ReleaseWatchedViews() {
    for (WatchedView& view : g_views) {
        if (view.base != nullptr) {
            UnmapViewOfFile(view.base);
            view = WatchedView{};
        }
    }
}

// Whether every page of the view can be read, each read once.
bool PagesReadable(const WatchedView& view) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    uint32_t answer[2] = {0, 0};
    return wtk_CallGuarded(reinterpret_cast<const void*>(&wtk_TouchPages),
                           static_cast<uint32_t>(reinterpret_cast<uintptr_t>(view.base)),
                           static_cast<uint32_t>(view.size), system.dwPageSize, nullptr, 0, answer, nullptr) != 0;
}

// A file's bytes in a view of it, unmapped at the end.
class MappedFileBytes final : public FileBytes {
public:
    explicit MappedFileBytes(WatchedView& view) : view_(view) {}
    MappedFileBytes(const MappedFileBytes&) = delete;
    MappedFileBytes& operator=(const MappedFileBytes&) = delete;
    ~MappedFileBytes() override {
        UnmapViewOfFile(view_.base);
        view_ = WatchedView{};
    }
    std::string_view View() const override { return std::string_view(view_.base, view_.size); }
    const WatchedView& view() const { return view_; }

private:
    WatchedView& view_;
};

// The file's bytes in a watched view, or nothing when the file cannot be mapped (as on a system
// short of address space) or no view can be watched. A view with a page that cannot be read is a
// file that cannot be read.
std::unique_ptr<FileBytes> MappedFile(HANDLE file, DWORD size) {
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, size, nullptr);
    if (mapping == nullptr) {
        return nullptr;
    }
    void* const base = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
    CloseHandle(mapping);  // the view keeps the mapping
    if (base == nullptr) {
        return nullptr;
    }
    WatchedView* const view = Watch(static_cast<char*>(base), size);
    if (view == nullptr) {
        UnmapViewOfFile(base);
        return nullptr;
    }
    auto bytes = std::make_unique<MappedFileBytes>(*view);
    if (!PagesReadable(bytes->view())) {
        throw PluginError("cannot read file");
    }
    return bytes;
}

// Whether the exception is a failed read of a view being watched.
int IsFailedViewRead(const EXCEPTION_RECORD* record) {
    if (record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR || record->NumberParameters < 2) {
        return 0;
    }
    const auto address = static_cast<uintptr_t>(record->ExceptionInformation[1]);
    for (const WatchedView& view : g_views) {
        const auto base = reinterpret_cast<uintptr_t>(view.base);
        if (view.base != nullptr && address >= base && address - base < view.size) {
            return 1;
        }
    }
    return 0;
}

// How the work of a WatchedCall ended. Its failure is thrown again outside the watching frame as
// the same kind of failure: a PluginError with its message, or std::bad_alloc.
struct WatchedCall {
    enum class Ending { Finished, Failed, OutOfMemory };
    const std::function<void()>* work;
    Ending ending = Ending::Finished;
    const char* message = "registration failed";

    void ThrowFailure() const {
        switch (ending) {
            case Ending::Finished: return;
            case Ending::OutOfMemory: throw std::bad_alloc();
            case Ending::Failed: throw PluginError(message);
        }
    }
};

// Runs the work of a WatchedCall inside the watching frame, which no exception may leave.
void RunWatched(void* argument) noexcept {
    WatchedCall& call = *static_cast<WatchedCall*>(argument);
    try {
        (*call.work)();
    } catch (const PluginError& error) {
        call.ending = WatchedCall::Ending::Failed;
        call.message = error.what();
    } catch (const std::bad_alloc&) {
        call.ending = WatchedCall::Ending::OutOfMemory;
    } catch (...) {
        call.ending = WatchedCall::Ending::Failed;
    }
}

class Win32Platform final : public Platform {
public:
    // A file that cannot be examined, on a drive without a disc for instance, does not exist.
    bool FileExists(const std::string& path) override {
        const CriticalErrorsSuppressed quiet;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    std::unique_ptr<DirectorySearch> FindFiles(const std::string& pattern, uint32_t attributeMask) override {
        return std::make_unique<Win32Search>(pattern, attributeMask);
    }

    std::unique_ptr<FileBytes> ReadWholeFile(const std::string& path) override {
        const CriticalErrorsSuppressed quiet;
        const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            throw PluginError("cannot open file");
        }
        // GetFileSize rather than GetFileSizeEx, which Windows 98 lacks; its failure value is also a
        // valid low half, so the error code tells the two apart.
        DWORD high = 0;
        SetLastError(NO_ERROR);
        const DWORD low = GetFileSize(file.get(), &high);
        if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > 0x7FFFFFFF) {
            throw PluginError("cannot size file");
        }
        if (g_watching && low >= kSmallestMappedFile && ViewsCanBeWatched()) {
            if (std::unique_ptr<FileBytes> mapped = MappedFile(file.get(), low)) {
                return mapped;
            }
        }
        std::size_t capacity = static_cast<std::size_t>(low);
        std::unique_ptr<char[]> bytes(new char[capacity == 0 ? 1 : capacity]);  // not cleared: read over at once
        std::size_t used = ReadInto(file.get(), bytes.get(), capacity);
        // A file that grew since it was sized is read to its new end; the pieces go to a small
        // buffer first, so that a file which did not grow is held once, not in a doubled buffer.
        std::array<char, 4096> more;
        for (;;) {
            const std::size_t got = ReadInto(file.get(), more.data(), more.size());
            if (got == 0) {
                break;
            }
            if (used + got > capacity) {
                capacity = std::max(capacity * 2, used + got);
                bytes = Grown(std::move(bytes), used, capacity);
            }
            std::memcpy(bytes.get() + used, more.data(), got);
            used += got;
        }
        return std::make_unique<HeapFileBytes>(std::move(bytes), used);
    }

    // A failed query (no disc, no such drive) gives the empty label.
    std::string VolumeLabel(const std::string& root) override {
        const CriticalErrorsSuppressed quiet;
        char label[kLabelBufferSize] = {};
        DWORD serial = 0;
        DWORD maximumComponentLength = 0;
        DWORD fileSystemFlags = 0;
        if (!GetVolumeInformationA(root.c_str(), label, kLabelBufferSize, &serial, &maximumComponentLength,
                                   &fileSystemFlags, nullptr, 0)) {
            return std::string();
        }
        return std::string(label, strnlen(label, sizeof label));
    }

    int32_t MessageBox(const std::string& text, const char* caption, uint32_t flags, BoxOwner owner) override {
        const HWND window = owner == BoxOwner::ActiveWindow ? GetActiveWindow() : nullptr;
        return MessageBoxA(window, text.c_str(), caption, flags);
    }

    void OpenFile(const std::string& verb, const std::string& file) override {
        ShellExecuteA(GetDesktopWindow(), verb.c_str(), file.c_str(), nullptr, nullptr, kShowCommand);
    }

    void RunReadingFiles(const std::function<void()>& work) override {
        WatchedCall call{&work};
        const bool outer = !g_watching;
        g_watching = true;
        WatchedCall* const argument = &call;
        uint32_t answer[2] = {0, 0};
        const bool finished = wtk_CallGuarded(reinterpret_cast<const void*>(&RunWatched), 0, 0, 0, &argument,
                                              sizeof argument, answer, &IsFailedViewRead) != 0;
        if (outer) {
            g_watching = false;
        }
        if (!finished) {
            ReleaseWatchedViews();
            throw PluginError("cannot read mapped file");
        }
        call.ThrowFailure();
    }
};

}  // namespace

Platform& Current() {
    static Win32Platform system;
    return system;
}

}  // namespace wtk::platform
