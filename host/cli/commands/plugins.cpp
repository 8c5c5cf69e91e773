// wertowik plugins: the plug-in libraries of a folder, as they name themselves.
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/base/cp1250.h"
#include "host/base/terminal_text.h"
#include "host/cli/command.h"
#include "host/modules/module_folder.h"
#include "host/report/json_report.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

int RunPlugins(const fs::path& folder, bool asJson) {
    auto modules = LoadModules(folder, std::nullopt);
    json list = json::array();
    for (const auto& module : modules) {
        list.push_back({
            {"plugin", module->name()},
            {"file", module->file().string()},
            {"pluginName", Cp1250ToUtf8(module->pluginName())},
            {"cdName", Cp1250ToUtf8(module->cdName())},
            {"exports", module->Exports()},
        });
    }
    if (asJson) {
        std::cout << JsonText(list, 2) << '\n';
        return 0;
    }
    for (const auto& item : list) {
        std::cout << ForTerminal(item["plugin"].get<std::string>()) << "\t"
                  << ForTerminal(item["pluginName"].get<std::string>()) << "\t"
                  << ForTerminal(item["cdName"].get<std::string>()) << "\t"
                  << ForTerminal(item["file"].get<std::string>()) << '\n';
    }
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions& common) {
    auto json = std::make_shared<bool>(false);
    command.add_flag("--json", *json, "Print JSON");
    command.add_option("--plugins", common.plugins, "Folder of the plug-in libraries")->type_name("DIR");
    command.footer("Examples:\n  wertowik plugins\n  wertowik plugins --json --plugins build/plugins");
    return [json, &common] { return RunPlugins(common.plugins, *json); };
}

}  // namespace

const Command kPluginsCommand{"plugins", "List the plug-in libraries", SetUp};

}  // namespace wertowik
