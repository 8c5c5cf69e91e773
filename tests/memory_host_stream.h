// The host's memory stream, able to fail at its k-th operation.
#pragma once

#include "host/modules/memory_stream.h"

namespace wtk::test {

class MemoryHostStream : public wertowik::MemoryStream {
public:
    enum class Failure { None, Size, SetPosition, ShortWrite, AnyOperation };

    // The k-th operation (1-based) of the given kind fails; AnyOperation: whatever it is.
    void FailAt(int k, Failure failure) {
        failAt_ = k;
        failure_ = failure;
        counted_ = 0;
    }
    // Operations seen so far, of every kind.
    int operations() const { return operations_; }

protected:
    bool Allow(Operation operation) override {
        ++operations_;
        if (failure_ == Failure::None || !Matches(operation)) {
            return true;
        }
        return ++counted_ != failAt_;
    }

private:
    bool Matches(Operation operation) const {
        switch (failure_) {
            case Failure::Size: return operation == Operation::Size;
            case Failure::SetPosition: return operation == Operation::SetPosition;
            case Failure::ShortWrite: return operation == Operation::Write;
            default: return true;
        }
    }

    int operations_ = 0;
    int counted_ = 0;
    int failAt_ = 0;
    Failure failure_ = Failure::None;
};

}  // namespace wtk::test
