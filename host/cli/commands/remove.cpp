// wertowik remove: a disc taken out of the catalogue with its programs and files.
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/catalogue/names.h"
#include "host/cli/command.h"
#include "host/report/json_report.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

int RunRemove(const CatalogueOptions& options, const std::string& idText) {
    const uint16_t id = ParseDiscId(idText);
    // A catalogue that is not there holds no disc to remove: it is read (as empty), not created.
    const fs::path file = FileOf(options);
    std::error_code error;
    const bool exists = fs::exists(fs::symlink_status(file, error)) || !file.has_filename();
    Catalogue catalogue = Catalogue::Open(file, exists ? Catalogue::Access::Write : Catalogue::Access::Read);
    const DiscRow disc = RequireDisc(catalogue, id);
    if (!catalogue.Remove(id)) {
        throw HostError(kExitDataError, Say("no disc {1} in {2}", id, catalogue.file().string()));
    }
    NoteCatalogueChanged();
    if (options.json) {
        std::cout << JsonText(json{{"removed", id}, {"name", disc.name}, {"programs", disc.programs}}, 2) << '\n';
    } else {
        // A disc no library named goes by its label, else by having no name.
        const std::string shown = !disc.name.empty()    ? disc.name
                                  : !disc.label.empty() ? "[" + disc.label + "]"
                                                        : Tr("no name");
        std::cout << SayCount("Removed disc {2} ({3}, {1} program).", "Removed disc {2} ({3}, {1} programs).",
                              disc.programs, id, ForTerminal(shown))
                  << '\n';
    }
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    return SetUpDiscCommand(command, "Examples:\n  wertowik remove 3", RunRemove);
}

}  // namespace

const Command kRemoveCommand{"remove", "Remove a disc and its programs from the catalogue", SetUp};

}  // namespace wertowik
