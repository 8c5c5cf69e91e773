#include "plugin_module.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace wtk::test {

namespace {
ProgressLog* g_activeLog = nullptr;
}  // namespace

ProgressLog::ProgressLog() : previous_(g_activeLog) { g_activeLog = this; }

ProgressLog::~ProgressLog() { g_activeLog = previous_; }

TProgressProc ProgressLog::proc() const { return &Report; }

void WTK_STDCALL ProgressLog::Report(int32_t percent) {
    if (g_activeLog != nullptr) {
        g_activeLog->values_.push_back(percent);
    }
}

PluginModule::PluginModule(const std::string& name, const FakeHost& host) {
    const std::string path = std::string(WERTOWIK_PLUGIN_DIR) + "/" + name + ".so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load " + path + ": " + dlerror());
    }
    using Attach = void (*)(const WertowikHostServices*);
    reinterpret_cast<Attach>(Symbol("WertowikAttachHost"))(host.services());
}

PluginModule::~PluginModule() {
    using Attach = void (*)(const WertowikHostServices*);
    reinterpret_cast<Attach>(Symbol("WertowikAttachHost"))(nullptr);
    dlclose(handle_);
}

void* PluginModule::Symbol(const char* name) const {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("missing export ") + name);
    }
    return symbol;
}

bool PluginModule::HasExport(const char* name) const { return dlsym(handle_, name) != nullptr; }

uint8_t PluginModule::InitializePlugin(char letter) const {
    return reinterpret_cast<uint8_t (*)(char)>(Symbol("InitializePlugin"))(letter);
}

int32_t PluginModule::Info() const { return reinterpret_cast<int32_t (*)()>(Symbol("Info"))(); }

const char* PluginModule::PluginName() const { return reinterpret_cast<const char* (*)()>(Symbol("PluginName"))(); }

const char* PluginModule::CDName() const { return reinterpret_cast<const char* (*)()>(Symbol("CDName"))(); }

uint8_t PluginModule::CanYouRegister() const { return reinterpret_cast<uint8_t (*)()>(Symbol("CanYouRegister"))(); }

uint8_t PluginModule::RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                                 TProgressProc progress) const {
    using Register = uint8_t(WTK_STDCALL*)(HostStream**, HostStream**, TDiscRecord, TProgressProc);
    return reinterpret_cast<Register>(Symbol("RegisterCD"))(discStream, entryStream, record, progress);
}

TDiscRecord MakeRecord(uint16_t discId, const std::string& label, const std::string& hostData) {
    TDiscRecord record{};
    record.DiscId = discId;
    const std::size_t length = std::min<std::size_t>(label.size(), 14);
    record.Label[0] = static_cast<uint8_t>(length);
    std::memset(record.Label + 1, 'Z', 14);
    std::memcpy(record.Label + 1, label.data(), length);
    std::memcpy(record.HostData, hostData.data(), std::min<std::size_t>(hostData.size(), 4));
    return record;
}

}  // namespace wtk::test
