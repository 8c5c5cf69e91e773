// The host's environment variables.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace wertowik {

// The value of an environment variable; nothing when it is not set or empty.
inline std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace wertowik
