// What every fuzz target uses to state what must always hold.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace wtk::fuzz {

// Stops the run with the broken rule on standard error; libFuzzer keeps the input that did it.
inline void Require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "rule broken: %s\n", rule);
        std::abort();
    }
}

inline std::string_view AsText(const unsigned char* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

inline bool HasNoBlankEnds(std::string_view s) { return s.empty() || (!IsBlank(s.front()) && !IsBlank(s.back())); }

}  // namespace wtk::fuzz
