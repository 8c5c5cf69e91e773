#include "host/modules/plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>

#include "host/base/messages.h"

namespace wertowik {

namespace {

template <typename Fn>
Fn Bind(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

// Closes the library unless it was handed over.
struct HandleGuard {
    void* handle;
    ~HandleGuard() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
};

}  // namespace

const std::vector<std::string>& PluginNames() {
    static const std::vector<std::string> names{"chip", "tarvo", "holvar", "enter", "plavik", "vexlo"};
    return names;
}

std::unique_ptr<PluginModule> PluginModule::Load(const std::string& name, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        throw std::runtime_error(Say("library {1}: no file {2}", name, file.string()));
    }
    HandleGuard guard{dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)};
    if (guard.handle == nullptr) {
        const char* reason = dlerror();
        throw std::runtime_error(Say("library {1}: cannot load {2}: {3}", name, file.string(),
                                     reason != nullptr ? reason : Tr("unknown reason")));
    }
    std::unique_ptr<PluginModule> module(new PluginModule(name, file, guard.handle));
    guard.handle = nullptr;
    void* handle = module->handle_;
    module->initializePlugin = Bind<InitializeFn>(handle, "InitializePlugin");
    module->info = Bind<InfoFn>(handle, "Info");
    module->pluginName = Bind<TextFn>(handle, "PluginName");
    module->cdName = Bind<TextFn>(handle, "CDName");
    module->canYouRegister = Bind<AnswerFn>(handle, "CanYouRegister");
    module->registerCD = Bind<RegisterFn>(handle, "RegisterCD");
    module->cancel = Bind<CancelFn>(handle, "Cancel");
    module->attachHost = Bind<AttachFn>(handle, "WertowikAttachHost");
    const std::pair<const char*, bool> required[] = {
        {"Info", module->info != nullptr},
        {"PluginName", module->pluginName != nullptr},
        {"CDName", module->cdName != nullptr},
        {"CanYouRegister", module->canYouRegister != nullptr},
        {"RegisterCD", module->registerCD != nullptr},
        {"WertowikAttachHost", module->attachHost != nullptr},
    };
    for (const auto& [exportName, present] : required) {
        if (!present) {
            throw std::runtime_error(Say("library {1}: {2} has no export {3}", name, file.string(), exportName));
        }
    }
    return module;
}

PluginModule::~PluginModule() {
    if (attachHost != nullptr) {
        attachHost(nullptr);
    }
    dlclose(handle_);
}

std::vector<std::string> PluginModule::Exports() const {
    std::vector<std::string> names;
    const std::pair<const char*, bool> all[] = {
        {"InitializePlugin", initializePlugin != nullptr},
        {"Info", info != nullptr},
        {"CDName", cdName != nullptr},
        {"PluginName", pluginName != nullptr},
        {"CanYouRegister", canYouRegister != nullptr},
        {"Cancel", cancel != nullptr},
        {"RegisterCD", registerCD != nullptr},
    };
    for (const auto& [name, present] : all) {
        if (present) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::filesystem::path DefaultPluginFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "plugins";
    }
    const std::filesystem::path prefix = self.parent_path().parent_path();
    const std::filesystem::path candidates[] = {prefix / "plugins", prefix / "lib" / "wertowik" / "plugins"};
    for (const auto& candidate : candidates) {
        if (std::filesystem::is_directory(candidate, error)) {
            return candidate;
        }
    }
    return candidates[0];
}

}  // namespace wertowik
