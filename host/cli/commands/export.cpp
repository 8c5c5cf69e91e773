// wertowik export: the whole catalogue as JSON or CSV.
#include "host/report/export.h"

#include <iostream>
#include <memory>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/pending_file.h"
#include "host/cli/command.h"

namespace wertowik {

namespace {

int RunExport(const CatalogueOptions& options, const ExportOptions& exportOptions) {
    if (exportOptions.format != "json" && exportOptions.format != "csv") {
        throw HostError(kExitUsage, Say("export --format takes json or csv, not \"{1}\"", exportOptions.format));
    }
    if (exportOptions.excel && exportOptions.format != "csv") {
        throw HostError(kExitUsage, Tr("export --excel goes with --format csv"));
    }
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    if (!exportOptions.output) {
        WriteExport(std::cout, catalogue, exportOptions);
        return 0;
    }
    PendingFile file(*exportOptions.output, PendingFile::Target::WriteIntoWhatIsNoFile);
    WriteExport(file.stream(), catalogue, exportOptions);
    file.Commit();
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    struct State {
        CatalogueOptions options;
        ExportOptions what;
    };
    auto state = std::make_shared<State>();
    command.add_option("--format", state->what.format, "json (default) or csv")->type_name("FORMAT");
    command.add_flag("--excel", state->what.excel,
                     "CSV for a spreadsheet set to Polish: UTF-8 with a byte-order mark, semicolons");
    command
        .add_option("--output,-o", state->what.output,
                    "Write to FILE (made whole beside it, then renamed) instead of standard output")
        ->type_name("FILE");
    command.add_option("--catalogue", state->options.catalogue, "Catalogue file")->type_name("FILE");
    command.footer(
        "Examples:\n"
        "  wertowik export > catalogue.json\n"
        "  wertowik export --format csv --output catalogue.csv\n"
        "  wertowik export --format csv --excel --output katalog.csv");
    return [state] { return RunExport(state->options, state->what); };
}

}  // namespace

const Command kExportCommand{"export", "Print the whole catalogue as JSON or CSV", SetUp};

}  // namespace wertowik
