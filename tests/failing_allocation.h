// Makes one chosen allocation of the test process throw std::bad_alloc. An executable that wants
// this compiles failing_allocation.cpp, which replaces the global operator new.
#pragma once

namespace wtk::test {

class FailingAllocation {
public:
    // The k-th allocation (1-based) from now on throws; one failure at most.
    explicit FailingAllocation(long k);
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    ~FailingAllocation();

    bool happened() const;
};

}  // namespace wtk::test
