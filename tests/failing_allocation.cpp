#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {
long g_countdown = 0;  // 0: disarmed
bool g_failed = false;
}  // namespace

namespace wtk::test {

FailingAllocation::FailingAllocation(long k) {
    g_failed = false;
    g_countdown = k;
}

FailingAllocation::~FailingAllocation() { g_countdown = 0; }

bool FailingAllocation::happened() const { return g_failed; }

}  // namespace wtk::test

void* operator new(std::size_t size) {
    if (g_countdown > 0 && --g_countdown == 0) {
        g_failed = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }

void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
