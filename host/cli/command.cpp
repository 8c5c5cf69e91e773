#include "host/cli/command.h"

#include <memory>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

namespace {

bool catalogueChanged = false;

}  // namespace

void AddCatalogueOptions(CLI::App* command, CatalogueOptions& options) {
    command->add_option("--catalogue", options.catalogue, "Catalogue file (default: the one in your data folder)")
        ->type_name("FILE");
    command->add_flag("--json", options.json, "Print JSON for scripts instead of a table");
}

std::filesystem::path FileOf(const CatalogueOptions& options) {
    return options.catalogue ? *options.catalogue : DefaultCataloguePath();
}

DiscRow RequireDisc(Catalogue& catalogue, uint16_t id) {
    std::optional<DiscRow> disc = catalogue.Disc(id);
    if (!disc) {
        throw HostError(kExitDataError, Say("no disc {1} in {2}", id, catalogue.file().string()));
    }
    return *disc;
}

CommandRun SetUpDiscCommand(CLI::App& command, const char* footer,
                            int (*run)(const CatalogueOptions& options, const std::string& id)) {
    struct State {
        CatalogueOptions options;
        std::string id;
    };
    auto state = std::make_shared<State>();
    command.add_option("ID", state->id, "The disc's identifier (see list)")->required();
    AddCatalogueOptions(&command, state->options);
    command.footer(footer);
    return [state, run] { return run(state->options, state->id); };
}

std::string JoinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

void NoteCatalogueChanged() { catalogueChanged = true; }
bool CatalogueChanged() { return catalogueChanged; }

}  // namespace wertowik
