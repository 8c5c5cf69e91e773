#include "host/discs/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace wertowik {

namespace {

// One slot per mapping being read; a handful at most are ever open at once.
constexpr std::uintptr_t kFree = 0;
constexpr std::uintptr_t kClaimed = 1;  // being filled in, not guarded yet

struct Slot {
    std::atomic<std::uintptr_t> start{kFree};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> cut{false};
};

constexpr std::size_t kSlots = 16;
Slot g_slots[kSlots];
struct sigaction g_previous {};
std::uintptr_t g_pageSize = 4096;
std::once_flag g_installed;

// Hands a fault that is not in a guarded mapping to the disposition that was there before.
void PassOn(int signal, siginfo_t* info, void* context) {
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // The default action: once this returns, the faulting access runs again and ends the process.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    // The interrupted code may be about to read errno; mmap below may set it.
    struct KeepErrno {
        int saved = errno;
        ~KeepErrno() { errno = saved; }
    } keepErrno;
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : g_slots) {
        const std::uintptr_t start = slot.start.load();
        const std::size_t size = slot.size.load();
        if (start == kFree || start == kClaimed || address < start || address >= start + size) {
            continue;
        }
        // The pages from the faulting one to the mapping's end become zero pages.
        const std::uintptr_t page = address & ~(g_pageSize - 1);
        void* replaced = ::mmap(reinterpret_cast<void*>(page), start + size - page, PROT_READ,
                                MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (replaced != MAP_FAILED) {
            slot.cut.store(true);
            return;
        }
        break;
    }
    PassOn(signal, info, context);
}

void Install() {
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize > 0) {
        g_pageSize = static_cast<std::uintptr_t>(pageSize);
    }
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

bool MappingGuard::Watch(const char* bytes, std::size_t size) {
    std::call_once(g_installed, Install);
    for (Slot& slot : g_slots) {
        std::uintptr_t expected = kFree;
        if (slot.start.compare_exchange_strong(expected, kClaimed)) {
            slot.size.store(size);
            slot.cut.store(false);
            slot.start.store(reinterpret_cast<std::uintptr_t>(bytes));
            return true;
        }
    }
    return false;
}

bool MappingGuard::WasCut(const char* bytes) {
    for (const Slot& slot : g_slots) {
        if (slot.start.load() == reinterpret_cast<std::uintptr_t>(bytes)) {
            return slot.cut.load();
        }
    }
    return false;
}

void MappingGuard::Release(const char* bytes) {
    for (Slot& slot : g_slots) {
        if (slot.start.load() == reinterpret_cast<std::uintptr_t>(bytes)) {
            slot.start.store(kFree);
            return;
        }
    }
}

}  // namespace wertowik
