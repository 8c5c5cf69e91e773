#include "plugin_library.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "stand_ins.h"

namespace wtk::win32test {

namespace {

// A value in EAX that no export should depend on.
constexpr uint32_t kNoArgument = 0xDEADBE00;
// The bytes that fill the record's 28-byte slot after its 25 bytes.
constexpr uint8_t kSlotFill = 0xCC;

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/"));
}

template <typename T>
void Append(std::vector<uint8_t>& bytes, const T& value) {
    const auto* first = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), first, first + sizeof value);
}

}  // namespace

std::string PluginFile(const std::string& name) {
    const char* folder = std::getenv("WERTOWIK_WIN32_PLUGINS");
    const std::string base = folder != nullptr ? std::string(folder) : ProgramFolder() + "\\..\\plugins";
    return base + "\\" + name + ".dll";
}

bool PluginBuilt(const std::string& name) { return GetFileAttributesA(PluginFile(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

PluginLibrary::PluginLibrary(const std::string& name) : name_(name), file_(PluginFile(name)) {
    module_ = LoadLibraryA(file_.c_str());
    if (module_ != nullptr) {
        standIns_ = InstallStandIns(module_);
    }
}

PluginLibrary::~PluginLibrary() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

const void* PluginLibrary::Export(const char* name) const {
    return module_ != nullptr ? reinterpret_cast<const void*>(GetProcAddress(module_, name)) : nullptr;
}

const void* PluginLibrary::Required(const char* name) const {
    const void* function = Export(name);
    if (function == nullptr) {
        throw std::runtime_error(std::string("no export ") + name + " in " + file_);
    }
    return function;
}

CallOutcome PluginLibrary::CallWithoutArguments(const char* name) const {
    return CallExport(Required(name), kNoArgument, {});
}

CallOutcome PluginLibrary::InitializePlugin(char letter) const {
    // The upper bytes of EAX carry garbage: only AL is the argument.
    return CallExport(Required("InitializePlugin"), kNoArgument | static_cast<uint8_t>(letter), {});
}

CallOutcome PluginLibrary::Info() const { return CallWithoutArguments("Info"); }
CallOutcome PluginLibrary::PluginName() const { return CallWithoutArguments("PluginName"); }
CallOutcome PluginLibrary::CDName() const { return CallWithoutArguments("CDName"); }
CallOutcome PluginLibrary::CanYouRegister() const { return CallWithoutArguments("CanYouRegister"); }
CallOutcome PluginLibrary::Cancel() const { return CallWithoutArguments("Cancel"); }

CallOutcome PluginLibrary::RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                                      TProgressProc progress) const {
    return CallExport(Required("RegisterCD"), kNoArgument,
                      RegisterCDArguments(discStream, entryStream, record, progress));
}

std::string TextAt(uint32_t address) {
    if (address == 0) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(static_cast<uintptr_t>(address)));
}

std::vector<uint8_t> RegisterCDArguments(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                                         TProgressProc progress) {
    std::vector<uint8_t> bytes;
    Append(bytes, discStream);
    Append(bytes, entryStream);
    Append(bytes, record);
    bytes.resize(bytes.size() + 3, kSlotFill);
    Append(bytes, progress);
    return bytes;
}

}  // namespace wtk::win32test
