#include "host/modules/module_folder.h"

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"

namespace wertowik {

namespace fs = std::filesystem;

std::vector<std::unique_ptr<PluginModule>> LoadModules(const fs::path& folder, const std::optional<std::string>& only) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw HostError(kExitNoInput, Say("no plug-in folder {1}", folder.string()));
    }
    std::vector<std::unique_ptr<PluginModule>> modules;
    std::vector<std::string> skipped;
    for (const std::string& name : PluginNames()) {
        if (only && *only != name) {
            continue;
        }
        try {
            modules.push_back(PluginModule::Load(name, folder / (name + ".so")));
        } catch (const std::exception& problem) {
            skipped.emplace_back(problem.what());
        }
    }
    // With nothing loaded the run cannot go on: one line says why, naming the first library's
    // trouble. Libraries missing beside others that loaded are each worth a warning.
    if (modules.empty()) {
        throw HostError(kExitNoInput, skipped.empty() ? Say("no library could be loaded from {1}", folder.string())
                                                      : Say("no library could be loaded from {1} ({2})",
                                                            folder.string(), skipped.front()));
    }
    for (const std::string& problem : skipped) {
        TellError(Say("{1} (skipped)", ForTerminal(problem)));
    }
    return modules;
}

}  // namespace wertowik
