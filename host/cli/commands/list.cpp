// wertowik list: the catalogued discs, all of them or those that match.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/cli/command.h"
#include "host/report/catalogue_json.h"
#include "host/report/catalogue_text.h"
#include "host/report/json_report.h"
#include "host/report/table.h"

namespace wertowik {

namespace {

using nlohmann::json;

struct ListOptions {
    std::string text;                    // words of the disc's name, label, library or year
    std::optional<std::string> library;  // "none": the discs no library claimed
    std::optional<int> year;
};

int RunList(const CatalogueOptions& options, const ListOptions& list) {
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    DiscQuery query;
    query.text = list.text;
    query.year = list.year;
    if (list.library) {
        query.library = *list.library == "none" ? std::string() : *list.library;
    }
    const std::vector<DiscRow> discs = catalogue.FindDiscs(query);
    if (options.json) {
        json found = json::array();
        for (const DiscRow& disc : discs) {
            found.push_back(DiscJson(disc));
        }
        std::cout << JsonText(found, 2) << '\n';
        return 0;
    }
    if (discs.empty()) {
        const bool filtered = !list.text.empty() || list.library || list.year;
        std::cout << Say(filtered ? N_("No disc matches in {1}.") : N_("No discs in {1}."),
                         ForTerminal(catalogue.file().string()))
                  << '\n';
        return 0;
    }
    TextTable table(
        {"ID", Tr("Disc"), Tr("Issue"), Tr("Label"), Tr("Library"), Tr("Programs"), Tr("Files"), Tr("Source")});
    table.AlignRight(0);
    table.AlignRight(5);
    table.AlignRight(6);
    table.LimitWidth(1, kNameWidth);
    table.Shrinkable(7);
    table.Shrinkable(1);
    table.Shrinkable(3);
    for (const DiscRow& disc : discs) {
        table.AddRow({std::to_string(disc.id), disc.name, disc.claimed() ? IssueText(disc.issue, disc.year) : "",
                      disc.label, LibraryText(disc), std::to_string(disc.programs), std::to_string(disc.files),
                      disc.source});
    }
    std::cout << table.Render(TerminalColumns());
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    struct State {
        CatalogueOptions options;
        ListOptions list;
        std::vector<std::string> words;
    };
    auto state = std::make_shared<State>();
    command.add_option("TEXT", state->words, "Only discs whose name, label, library or year hold these words");
    command.add_option("--library", state->list.library, "Only discs of this library (none: those no library claimed)")
        ->type_name("NAME");
    command.footer("Examples:\n  wertowik list\n  wertowik list chip 2004\n  wertowik list --library none --json");
    command.add_option("--year", state->list.year, "Only discs of this year");
    AddCatalogueOptions(&command, state->options);
    return [state] {
        state->list.text = JoinWords(state->words);
        return RunList(state->options, state->list);
    };
}

}  // namespace

const Command kListCommand{"list", "List the catalogued discs", SetUp};

}  // namespace wertowik
