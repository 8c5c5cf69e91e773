#include "test_support.h"

#include <cstdio>

namespace wtk::win32test {

std::unique_ptr<PluginLibrary> LoadIfBuilt(const std::string& name) {
    if (!PluginBuilt(name)) {
        return nullptr;
    }
    return std::make_unique<PluginLibrary>(name);
}

std::string Escaped(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

}  // namespace wtk::win32test
