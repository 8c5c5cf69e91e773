// wertowik files: the files and folders catalogued for a disc, or for one folder of it.
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/base/text_fold.h"
#include "host/catalogue/names.h"
#include "host/cli/command.h"
#include "host/report/catalogue_json.h"
#include "host/report/catalogue_text.h"
#include "host/report/json_report.h"
#include "host/report/table.h"

namespace wertowik {

namespace {

using nlohmann::json;

int RunFiles(const CatalogueOptions& options, const std::string& idText, const std::string& path) {
    const uint16_t id = ParseDiscId(idText);
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    const DiscRow disc = RequireDisc(catalogue, id);
    const std::vector<FileRow> files = catalogue.Files(id);
    // PATH in either kind of slash, its names compared without regard to letter case.
    std::string wanted = path;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    while (!wanted.empty() && wanted.back() == '/') {
        wanted.pop_back();
    }
    while (!wanted.empty() && wanted.front() == '/') {
        wanted.erase(wanted.begin());
    }
    const std::string folded = LowerCaseUtf8(wanted);
    std::vector<const FileRow*> shown;
    bool found = wanted.empty();
    for (const FileRow& file : files) {
        const std::string filePath = LowerCaseUtf8(file.path);
        if (filePath == folded) {
            found = true;
            if (!file.directory) {
                shown.push_back(&file);
            }
        } else if (wanted.empty() ||
                   (filePath.size() > folded.size() && filePath.compare(0, folded.size(), folded) == 0 &&
                    filePath[folded.size()] == '/')) {
            shown.push_back(&file);
        }
    }
    if (!found) {
        throw HostError(kExitDataError, Say("disc {1} holds no {2}", id, path));
    }
    if (options.json) {
        json list = json::array();
        for (const FileRow* file : shown) {
            list.push_back(FileJson(*file));
        }
        std::cout << JsonText(json{{"disc", id}, {"path", wanted}, {"files", list}}, 2) << '\n';
        return 0;
    }
    if (shown.empty()) {
        std::cout << Say(files.empty() ? N_("No files catalogued for disc {1}.")
                                       : N_("Nothing below that folder of disc {1}."),
                         id)
                  << '\n';
        return 0;
    }
    TextTable table({Tr("Path"), Tr("Size"), Tr("Modified"), Tr("Attr")});
    table.AlignRight(1);
    table.Shrinkable(0);
    int64_t bytes = 0;
    for (const FileRow* file : shown) {
        table.AddRow({file->path + (file->directory ? "/" : ""), file->directory ? "" : std::to_string(file->size),
                      TimeText(file->modified), AttributeText(*file)});
        bytes += file->size;
    }
    std::cout << Say("Disc {1}: {2}", id, ForTerminal(DiscTitle(disc))) << '\n'
              << table.Render(TerminalColumns())
              << SayCount("{1} file or folder, ", "{1} files and folders, ", shown.size())
              << SayCount("{1} byte.", "{1} bytes.", bytes) << '\n';
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    struct State {
        CatalogueOptions options;
        std::string id, path;
    };
    auto state = std::make_shared<State>();
    command.add_option("ID", state->id, "The disc's identifier (see list)")->required();
    command.add_option("PATH", state->path, "Only this folder (or file) of the disc, with what it holds")
        ->type_name("PATH");
    AddCatalogueOptions(&command, state->options);
    command.footer("Examples:\n  wertowik files 3\n  wertowik files 3 INSTALL");
    return [state] { return RunFiles(state->options, state->id, state->path); };
}

}  // namespace

const Command kFilesCommand{"files", "List the files and folders of a disc", SetUp};

}  // namespace wertowik
