// Reading and rewriting a loaded module's import table.
#pragma once

#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace wtk::win32test {

struct ImportedFunction {
    std::string dll;   // as the import table names it, e.g. "USER32.dll"
    std::string name;  // empty when imported by ordinal
};

// Every function the module imports, in table order.
std::vector<ImportedFunction> ImportsOf(HMODULE module);

// Points the module's import slot for dll!function (imported by name; the DLL name compared
// without regard to case) at `replacement`. Returns false when there is no such import.
bool ReplaceImport(HMODULE module, const char* dll, const char* function, const void* replacement);

}  // namespace wtk::win32test
