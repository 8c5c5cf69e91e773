// The plug-in libraries of a folder, loaded for a command.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/modules/plugin_module.h"

namespace wertowik {

// The libraries to offer a disc to, in order; one that cannot be loaded is reported and skipped,
// and a folder from which none loads is a host error.
std::vector<std::unique_ptr<PluginModule>> LoadModules(const std::filesystem::path& folder,
                                                       const std::optional<std::string>& only);

}  // namespace wertowik
