// wertowik show: one disc with its programs.
#include <algorithm>
#include <initializer_list>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/catalogue/names.h"
#include "host/cli/command.h"
#include "host/report/catalogue_json.h"
#include "host/report/catalogue_text.h"
#include "host/report/json_report.h"
#include "host/report/table.h"

namespace wertowik {

namespace {

using nlohmann::json;

// "  Label:      TEXT" lines, the values lined up after the longest name, whatever the language.
std::string AlignedFields(std::initializer_list<std::pair<std::string_view, std::string>> fields) {
    std::size_t widest = 0;
    for (const auto& field : fields) {
        widest = std::max(widest, DisplayWidth(field.first));
    }
    std::string text;
    for (const auto& [name, value] : fields) {
        text.append("  ").append(name).append(widest + 1 - DisplayWidth(name), ' ').append(value).append("\n");
    }
    return text;
}

int RunShow(const CatalogueOptions& options, const std::string& idText) {
    const uint16_t id = ParseDiscId(idText);
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    const DiscRow disc = RequireDisc(catalogue, id);
    const std::vector<ProgramRow> programs = catalogue.Programs(id);
    if (options.json) {
        json shown = DiscJson(disc);
        shown["entries"] = json::array();
        for (const ProgramRow& program : programs) {
            shown["entries"].push_back(ProgramJson(program));
        }
        std::cout << JsonText(shown, 2) << '\n';
        return 0;
    }
    std::cout << Say("Disc {1}: {2}", disc.id, ForTerminal(disc.name.empty() ? DiscTitle(disc) : disc.name)) << '\n'
              << AlignedFields({
                     {Tr("Issue:"), IssueText(disc.issue, disc.year)},
                     {Tr("Label:"), ForTerminal(disc.label)},
                     {Tr("Library:"), disc.claimed() ? Say("{1} (result {2})", ForTerminal(disc.plugin), disc.result)
                                                     : std::string(Tr("none claimed the disc"))},
                     {Tr("Source:"), ForTerminal(disc.source)},
                     {Tr("Registered:"), ForTerminal(disc.registeredAt)},
                     {Tr("Record:"), RecordHex(disc.record)},
                     {Tr("Programs:"), std::to_string(programs.size())},
                     {Tr("Files:"), Say("{1} (wertowik files {2})", disc.files, disc.id)},
                 });
    if (!programs.empty()) {
        TextTable table = ProgramTable(false);
        for (const ProgramRow& program : programs) {
            table.AddRow(ProgramCells(program));
        }
        std::cout << '\n' << table.Render(TerminalColumns());
    }
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    return SetUpDiscCommand(command, "Examples:\n  wertowik show 3\n  wertowik show 3 --json", RunShow);
}

}  // namespace

const Command kShowCommand{"show", "Show a disc and its programs", SetUp};

}  // namespace wertowik
