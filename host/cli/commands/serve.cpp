// wertowik serve: its options and help. The web view itself is a module of its own, loaded by
// this command alone: only it brings in the HTTP server and the libraries that one is linked with.
#include <memory>

#include "host/base/helper_module.h"
#include "host/cli/command.h"
#include "host/web/serve_entry.h"

namespace wertowik {

namespace {

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    auto state = std::make_shared<ServeCommand>();
    command.add_option("--catalogue", state->catalogue, "Catalogue file")->type_name("FILE");
    command.add_option("--port", state->port, "Port to listen on (default 8080, 0: any free one)")->type_name("PORT");
    command.add_option("--address", state->address, "Address to listen on (default 127.0.0.1: this computer alone)")
        ->type_name("ADDRESS");
    command.add_flag("--open", state->open, "Open the pages in the web browser");
    command.footer(
        "The pages show the discs, each disc's programs and files, and a search as you type; they\n"
        "never change the catalogue. /api/ answers the same in JSON for scripts. Ctrl+C ends.\n\n"
        "Examples:\n"
        "  wertowik serve --open\n"
        "  wertowik serve --port 8000 --catalogue katalog.sqlite");
    return [state] {
        const HelperModule module(HelperModulePath(kWebModule));
        return module.Entry<ServeEntryFn>(kServeEntry)(state.get());
    };
}

}  // namespace

const Command kServeCommand{"serve", "Browse and search the catalogue in a web browser on this computer", SetUp};

}  // namespace wertowik
