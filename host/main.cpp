// wertowik: offers a copy of a cover disc to the plug-in libraries and shows what they register.
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.h"
#include "plugin_module.h"

int main(int argc, char** argv) {
    using namespace wertowik;
    CLI::App app{"wertowik: catalogue the programs on magazine cover discs"};
    app.require_subcommand(1);
    std::filesystem::path plugins = DefaultPluginFolder();

    RegisterOptions reg;
    CLI::App* registerCommand = app.add_subcommand("register", "Offer a disc to the libraries and register it");
    registerCommand->add_option("DISC", reg.disc, "Folder that holds the disc's files")->required();
    registerCommand->add_option("--drive", reg.drive, "Drive letter the disc is mounted as (default D)");
    registerCommand->add_option("--label", reg.label, "Volume label (default: the disc's own, else empty)");
    registerCommand->add_option("--only", reg.only, "Offer the disc to this library alone");
    registerCommand->add_option("--record", reg.record, "The host's 25-byte disc record as 50 hex digits");
    bool yes = false, no = false;
    auto* yesFlag = registerCommand->add_flag("--yes", yes, "Answer Yes to the libraries' questions");
    registerCommand->add_flag("--no", no, "Answer No to the libraries' questions")->excludes(yesFlag);
    registerCommand->add_option("--streams", reg.streams, "Write the raw streams to DIR/discs.bin and DIR/entries.bin");
    registerCommand->add_flag("--json", reg.json, "Print one JSON object");
    registerCommand->add_flag("--quiet", reg.quiet, "Print nothing but errors and questions");
    auto* catalogueOption = registerCommand->add_option("--catalogue", reg.catalogue, "Catalogue file");
    registerCommand->add_flag("--no-catalogue", reg.noCatalogue, "Do not store the disc in a catalogue")
        ->excludes(catalogueOption);
    registerCommand->add_option("--plugins", plugins, "Folder of the plug-in libraries");

    std::filesystem::path discStream, entryStream;
    bool decodeJson = false;
    CLI::App* decodeCommand = app.add_subcommand("decode", "Print the records of two raw streams");
    decodeCommand->add_option("DISCSTREAM", discStream, "The disc stream (discs.bin)")->required();
    decodeCommand->add_option("ENTRYSTREAM", entryStream, "The entry stream (entries.bin)")->required();
    decodeCommand->add_flag("--json", decodeJson, "Print one JSON object");

    bool pluginsJson = false;
    CLI::App* pluginsCommand = app.add_subcommand("plugins", "List the plug-in libraries");
    pluginsCommand->add_flag("--json", pluginsJson, "Print JSON");
    pluginsCommand->add_option("--plugins", plugins, "Folder of the plug-in libraries");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& problem) {
        std::cerr << "wertowik: " << problem.what() << '\n';
        return kExitUsage;
    }

    try {
        if (*registerCommand) {
            reg.answer = yes ? QuestionAnswer::Yes : no ? QuestionAnswer::No : QuestionAnswer::Ask;
            reg.plugins = plugins;
            return RunRegister(reg);
        }
        if (*decodeCommand) {
            return RunDecode(discStream, entryStream, decodeJson);
        }
        return RunPlugins(plugins, pluginsJson);
    } catch (const HostError& problem) {
        std::cerr << "wertowik: " << problem.what() << '\n';
        return problem.code();
    } catch (const std::exception& problem) {
        std::cerr << "wertowik: " << problem.what() << '\n';
        return kExitSoftware;
    }
}
