// The pieces of the C++ runtime that a DLL defines for itself instead of taking them from the
// compiler's prebuilt archives. Those archives were compiled for the Pentium Pro and later (their
// code holds CMOVcc and FCOMI), while the DLLs run on a Pentium too; and the archive members that
// hold these functions pull in more of the same (the string-holding exception classes, the
// reference-counted strings, printf and the demangler behind the verbose terminate handler).
//
// Every definition keeps the meaning the language gives it: allocation through the C library's
// malloc with std::bad_alloc on failure, the library's internal throws as exceptions that the
// export frames catch like any other.
#include <bits/functexcept.h>

#include <cstdarg>
#include <cstdlib>
#include <new>

#include "errors.h"

namespace {

void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

}  // namespace

void* operator new(std::size_t size) {
    void* const memory = Allocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

// What the standard containers, strings and std::function throw when misused or too long.
namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_function_call() { throw wtk::PluginError("empty function called"); }
void __throw_length_error(const char* what) { throw wtk::PluginError(what); }
void __throw_logic_error(const char* what) { throw wtk::PluginError(what); }
void __throw_out_of_range(const char* what) { throw wtk::PluginError(what); }
void __throw_out_of_range_fmt(const char* format, ...) { throw wtk::PluginError(format); }
void __throw_invalid_argument(const char* what) { throw wtk::PluginError(what); }

}  // namespace std

// Called when an exception cannot be handled: nothing of a DLL's can tell anyone, so it ends as
// std::terminate's default does, without printing the exception's demangled type first.
namespace __gnu_cxx {
void __verbose_terminate_handler();
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The thread support of the runtime (its mutexes, for the exceptions' emergency memory and for
// thread-local data) makes its semaphores with CreateSemaphoreW, a wide-character entry whose
// presence in the kernel32 of Windows 98 SE no published export list confirms; a DLL that imports
// a missing entry does not load at all. Its import slot is filled here with the ANSI call, which
// every Windows has. The runtime makes only unnamed semaphores; a name, which would need
// converting, is refused.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

HANDLE WINAPI CreateUnnamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount,
                                     LPCWSTR name) {
    if (name != nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    return CreateSemaphoreA(attributes, initialCount, maximumCount, nullptr);
}

}  // namespace

extern "C" {
extern const void* const wtk_CreateSemaphoreWSlot asm("__imp__CreateSemaphoreW@16");
const void* const wtk_CreateSemaphoreWSlot = reinterpret_cast<const void*>(&CreateUnnamedSemaphore);
}

// The start-up code applies the pseudo-relocations that importing data from another DLL needs. A
// DLL imports no data (it is linked with --disable-auto-import, which refuses such an import), so
// there are none; this takes the place of the runtime's routine, which is compiled for the
// Pentium Pro.
extern "C" void _pei386_runtime_relocator() {}
