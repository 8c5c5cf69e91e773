#include "import_table.h"

#include <cstring>

namespace wtk::win32test {

namespace {

const IMAGE_IMPORT_DESCRIPTOR* FirstDescriptor(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
}

// Calls visit(dllName, functionName or nullptr, slot) for every import; stops when it returns true.
template <typename Visit>
bool ForEachImport(HMODULE module, Visit visit) {
    auto* base = reinterpret_cast<BYTE*>(module);
    for (const IMAGE_IMPORT_DESCRIPTOR* d = FirstDescriptor(module); d != nullptr && d->Name != 0; ++d) {
        const char* dll = reinterpret_cast<const char*>(base + d->Name);
        const DWORD lookup = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + lookup);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            const char* function = nullptr;
            if (!IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) {
                function = reinterpret_cast<const char*>(
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            }
            if (visit(dll, function, slots)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<ImportedFunction> ImportsOf(HMODULE module) {
    std::vector<ImportedFunction> imports;
    ForEachImport(module, [&](const char* dll, const char* function, IMAGE_THUNK_DATA32*) {
        imports.push_back({dll, function != nullptr ? function : ""});
        return false;
    });
    return imports;
}

bool ReplaceImport(HMODULE module, const char* dll, const char* function, const void* replacement) {
    return ForEachImport(module, [&](const char* importDll, const char* importName, IMAGE_THUNK_DATA32* slot) {
        if (importName == nullptr || _stricmp(importDll, dll) != 0 || std::strcmp(importName, function) != 0) {
            return false;
        }
        DWORD previous = 0;
        if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &previous)) {
            return false;
        }
        slot->u1.Function = reinterpret_cast<DWORD>(replacement);
        VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, previous, &previous);
        return true;
    });
}

}  // namespace wtk::win32test
