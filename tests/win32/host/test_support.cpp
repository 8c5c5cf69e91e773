#include "test_support.h"

#include <cstdio>
#include <string>

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

void WriteTestFile(const char* path, const std::string& bytes) {
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size()) << path;
}

}  // namespace

LargeIndexDisc::LargeIndexDisc() {
    CreateDirectoryA("C:\\Browser", nullptr);
    WriteTestFile("C:\\startuj.exe", "MZ");
    std::string index(44, '\0');  // the header, not read
    for (int line = 0; index.size() < (std::size_t{2} << 20); ++line) {
        index += std::to_string(line % 1000) + "\tProgram " + std::to_string(line) + " v1.0\tOpis programu\r\n";
    }
    index += "Koniec spisu CHIP CD\t05/2004\t\r\n";
    WriteTestFile("C:\\Browser\\Chip.dat", index);
}

LargeIndexDisc::~LargeIndexDisc() {
    DeleteFileA("C:\\Browser\\Chip.dat");
    RemoveDirectoryA("C:\\Browser");
    DeleteFileA("C:\\startuj.exe");
}

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
