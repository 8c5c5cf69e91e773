// A command of wertowik: its name, what it does, and a set-up that declares its options and help
// on the command line's parser and gives back what runs it once the arguments are parsed. Each
// command is one file of commands/; main holds the table of them.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "host/catalogue/catalogue.h"

namespace wertowik {

// What more than one command takes: the folder of the plug-in libraries (--plugins, else
// WERTOWIK_PLUGINS, else the one beside the program).
struct CommonOptions {
    std::filesystem::path plugins;
};

using CommandRun = std::function<int()>;

struct Command {
    const char* name;
    const char* description;
    CommandRun (*setUp)(CLI::App& command, CommonOptions& common);
};

extern const Command kRegisterCommand, kListCommand, kFilesCommand, kShowCommand, kSearchCommand, kExportCommand,
    kRemoveCommand, kDecodeCommand, kPluginsCommand, kServeCommand;

// The catalogue a command reads or changes, and whether it prints JSON.
struct CatalogueOptions {
    std::optional<std::filesystem::path> catalogue;  // default: DefaultCataloguePath()
    bool json = false;
};

// --catalogue and --json.
void AddCatalogueOptions(CLI::App* command, CatalogueOptions& options);
std::filesystem::path FileOf(const CatalogueOptions& options);
// The disc of that identifier, else a data error.
DiscRow RequireDisc(Catalogue& catalogue, uint16_t id);

// The set-up of a command about one disc: its identifier, --catalogue and --json, and the footer.
CommandRun SetUpDiscCommand(CLI::App& command, const char* footer,
                            int (*run)(const CatalogueOptions& options, const std::string& id));

// Words given as several arguments, joined by spaces.
std::string JoinWords(const std::vector<std::string>& words);

// Whether this run has committed a change to a catalogue (a disc stored or removed): from then on
// the exit status reports that change, whatever else fails, such as writing the output.
void NoteCatalogueChanged();
bool CatalogueChanged();

}  // namespace wertowik
