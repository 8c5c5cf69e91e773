// Numbers stored in bytes in either order, as disc images and their descriptors hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wertowik::bytes {

// The width bytes (at most 8) at that offset, least significant first. The caller has checked
// that they are there.
inline uint64_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
    uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The same, most significant first.
inline uint64_t Big(std::string_view bytes, std::size_t at, std::size_t width) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

}  // namespace wertowik::bytes
