// One plug-in DLL loaded by file name, with its exports bound by name and called the way the
// 32-bit host calls them: InitializePlugin with the letter in AL, RegisterCD stdcall with the
// 25-byte record in a 28-byte stack slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "call_export.h"
#include "contract/host_stream.h"
#include "contract/records.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace wtk::win32test {

// The file of a library in the plug-in folder: WERTOWIK_WIN32_PLUGINS when set, else the folder
// "plugins" next to the folder of this program.
std::string PluginFile(const std::string& name);
bool PluginBuilt(const std::string& name);

class PluginLibrary {
public:
    // Loads the DLL and puts the stand-ins into its import table; loaded() tells whether it worked.
    explicit PluginLibrary(const std::string& name);
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    ~PluginLibrary();

    bool loaded() const { return module_ != nullptr; }
    const std::string& name() const { return name_; }
    HMODULE module() const { return module_; }
    const std::string& file() const { return file_; }
    const std::vector<std::string>& standIns() const { return standIns_; }

    // The export of that name, or nullptr.
    const void* Export(const char* name) const;

    CallOutcome InitializePlugin(char letter) const;
    CallOutcome Info() const;
    CallOutcome PluginName() const;
    CallOutcome CDName() const;
    CallOutcome CanYouRegister() const;
    CallOutcome Cancel() const;
    CallOutcome RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                           TProgressProc progress) const;

private:
    CallOutcome CallWithoutArguments(const char* name) const;
    const void* Required(const char* name) const;

    std::string name_;
    std::string file_;
    HMODULE module_ = nullptr;
    std::vector<std::string> standIns_;
};

// The NUL-terminated text at the address a text export returned.
std::string TextAt(uint32_t address);

// The 40 argument bytes of RegisterCD, lowest address first.
std::vector<uint8_t> RegisterCDArguments(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                                         TProgressProc progress);

}  // namespace wtk::win32test
