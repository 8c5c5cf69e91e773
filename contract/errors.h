// The one error type that travels inside a plug-in; the export frames catch it (and anything else).
#pragma once

#include <exception>

namespace wtk {

// Its message is a constant text: nothing is allocated when a failure is thrown, and the library
// needs none of the runtime's string-holding exception classes.
class PluginError : public std::exception {
public:
    explicit PluginError(const char* message) noexcept : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};

}  // namespace wtk
