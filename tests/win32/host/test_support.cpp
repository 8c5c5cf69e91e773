#include "test_support.h"

#include <cstdio>

namespace wtk::win32test {

namespace {

LONG g_unhandled = 0;

// Counts what reaches the process's last line of defence, then lets Windows end the process as it
// would without a filter: an exception that gets this far has escaped every guard.
LONG WINAPI CountUnhandled(EXCEPTION_POINTERS*) {
    ++g_unhandled;
    return EXCEPTION_CONTINUE_SEARCH;
}

const LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = SetUnhandledExceptionFilter(&CountUnhandled);

}  // namespace

int UnhandledExceptionsSeen() { return static_cast<int>(g_unhandled); }

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
