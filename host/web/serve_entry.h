// What the command line knows of the web module (lib/wertowik/host/wertowik-web.so), which it
// loads for wertowik serve alone: the command's options and the module's one entry point.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace wertowik {

struct ServeCommand {
    std::optional<std::filesystem::path> catalogue;  // default: DefaultCataloguePath()
    std::string address = "127.0.0.1";
    int port = 8080;    // 0: any free port
    bool open = false;  // open the first page in the browser (xdg-open)
};

// wertowik serve: serves until SIGINT or SIGTERM, then ends with 0.
int RunServe(const ServeCommand& command);

}  // namespace wertowik

// The one export of the web module (lib/wertowik/host/wertowik-web.so): RunServe, its errors written to
// standard error as wertowik writes them; the exit status.
extern "C" int WertowikServe(const wertowik::ServeCommand* command);

namespace wertowik {

using ServeEntryFn = int (*)(const ServeCommand* command);
inline constexpr char kServeEntry[] = "WertowikServe";
inline constexpr char kWebModule[] = "wertowik-web.so";

}  // namespace wertowik
