// wertowik: offers copies of cover discs to the plug-in libraries and keeps what they register in
// a searchable catalogue.
#include <CLI/CLI.hpp>
#include <malloc.h>

#include <iostream>

#include "catalogue.h"
#include "commands.h"
#include "plugin_module.h"

namespace {

using namespace wertowik;

constexpr char kFooter[] = R"(Examples:
  wertowik register /media/cdrom
  wertowik register disc1/ disc2.iso --no
  wertowik list
  wertowik search zrodlo --licence freeware
  wertowik show 3
  wertowik export --format csv > catalogue.csv

The catalogue is $XDG_DATA_HOME/wertowik/catalogue.sqlite (else
~/.local/share/wertowik/catalogue.sqlite) unless --catalogue names another.
Exit status: 0 registered, 1 no library claimed a disc, 2 a registration failed,
64 and above a usage or host error. `wertowik COMMAND --help` tells more.)";

void AddCatalogueOptions(CLI::App* command, CatalogueOptions& options) {
    command->add_option("--catalogue", options.catalogue, "Catalogue file (default: the one in your data folder)");
    command->add_flag("--json", options.json, "Print JSON for scripts instead of a table");
}

}  // namespace

int main(int argc, char** argv) {
    // Blocks of a quarter megabyte and more get pages of their own, given back when freed: the
    // files read whole from an image and the texts made for a large disc's report do not stay in
    // the heap once they are let go of, which keeps the peak memory near the size of the data.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    CLI::App app{"wertowik: catalogue the programs on magazine cover discs"};
    app.footer(kFooter);
    app.require_subcommand(1);
    std::filesystem::path plugins = DefaultPluginFolder();

    RegisterOptions reg;
    CLI::App* registerCommand = app.add_subcommand(
        "register", "Offer discs (folders or disc images) to the libraries and catalogue them");
    registerCommand->footer(
        "Each DISC is a folder holding a disc's files or an image of one: a plain .iso, the raw copy of a CD\n"
        "(its .cue sheet, or its .bin file with or without the sheet beside it), a Nero .nrg, an Alcohol\n"
        ".mds/.mdf, a CloneCD .ccd/.img, or a .zip, .7z, .rar, .gz or .xz holding such images (each one is\n"
        "registered); the kind of image is told by its bytes. The label is --label, else the image's\n"
        "volume identifier or the first line of a folder's .windows-label file.\n"
        "With several discs --json prints an array with one object per disc and the exit status is the\n"
        "worst of theirs.");
    registerCommand->add_option("DISC", reg.discs, "Disc folders, disc images or archives of them")->required();
    // Taken as text: read into a character, a number would be taken for the character of that code.
    std::string drive = "D";
    registerCommand->add_option("--drive", drive, "Drive letter the disc is mounted as (default D)");
    registerCommand->add_option("--label", reg.label, "Volume label (default: the disc's own, else empty)");
    registerCommand->add_option("--only", reg.only, "Offer the disc to this library alone");
    registerCommand->add_option("--record", reg.record,
                                "The host's 25-byte disc record as 50 hex digits (its DiscId is replaced by the "
                                "next free one when the catalogue holds a disc of that identifier)");
    registerCommand->add_option("--issue", reg.issue,
                                "Issue number put into the record (for libraries that keep the host's, as Enter's)");
    registerCommand->add_option("--year", reg.year, "Year put into the record, likewise");
    bool yes = false, no = false;
    auto* yesFlag = registerCommand->add_flag("--yes", yes, "Answer Yes to the libraries' questions");
    registerCommand->add_flag("--no", no, "Answer No to the libraries' questions")->excludes(yesFlag);
    registerCommand->add_option("--streams", reg.streams,
                                "Write the raw streams to DIR/discs.bin and DIR/entries.bin (DIR/N/ for the "
                                "N-th of several discs)");
    registerCommand->add_flag("--json", reg.json, "Print JSON: one object, or an array for several discs");
    registerCommand->add_flag("--quiet", reg.quiet, "Print nothing but errors and questions; no progress bar");
    auto* catalogueOption = registerCommand->add_option("--catalogue", reg.catalogue, "Catalogue file");
    auto* againFlag =
        registerCommand->add_flag("--again", reg.again, "Store a disc even when it is catalogued already");
    registerCommand->add_flag("--no-catalogue", reg.noCatalogue, "Do not store the discs in a catalogue")
        ->excludes(catalogueOption)
        ->excludes(againFlag);
    registerCommand->add_option("--plugins", plugins, "Folder of the plug-in libraries");

    CatalogueOptions listOptions;
    CLI::App* listCommand = app.add_subcommand("list", "List the catalogued discs");
    AddCatalogueOptions(listCommand, listOptions);

    CatalogueOptions showOptions;
    std::string showId;
    CLI::App* showCommand = app.add_subcommand("show", "Show a disc and its programs");
    showCommand->add_option("ID", showId, "The disc's identifier (see list)")->required();
    AddCatalogueOptions(showCommand, showOptions);

    CatalogueOptions searchOptions;
    SearchOptions search;
    std::vector<std::string> words;
    CLI::App* searchCommand = app.add_subcommand(
        "search", "Find programs by words of their name, version or description");
    searchCommand->footer(
        "Every word must match the start of a word; letter case and Polish diacritics do not matter\n"
        "(\"zrodlo\" finds \"\xC5\xB9r\xC3\xB3" "d\xC5\x82o\", \"lodz\" finds \"\xC5\x81\xC3\xB3" "d\xC5\xBA\").");
    searchCommand->add_option("TEXT", words, "Words to look for")->required();
    searchCommand->add_option("--licence", search.licence,
                              "Only programs of this licence: unspecified, shareware, freeware, demo, full, "
                              "trial, gpl, adware");
    searchCommand->add_option("--disc", search.disc, "Only programs of this disc");
    searchCommand->add_option("--limit", search.limit, "Show at most this many matches (default 50, 0: all)")
        ->check([](const std::string& value) {
            return value.find('-') == std::string::npos ? std::string() : "a number of matches is never negative";
        });
    AddCatalogueOptions(searchCommand, searchOptions);

    CatalogueOptions exportOptions;
    std::string format = "json";
    CLI::App* exportCommand = app.add_subcommand("export", "Print the whole catalogue as JSON or CSV");
    exportCommand->add_option("--format", format, "json (default) or csv");
    exportCommand->add_option("--catalogue", exportOptions.catalogue, "Catalogue file");

    CatalogueOptions removeOptions;
    std::string removeId;
    CLI::App* removeCommand = app.add_subcommand("remove", "Remove a disc and its programs from the catalogue");
    removeCommand->add_option("ID", removeId, "The disc's identifier (see list)")->required();
    AddCatalogueOptions(removeCommand, removeOptions);

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

    const auto run = [&]() -> int {
        if (*registerCommand) {
            reg.answer = yes ? QuestionAnswer::Yes : no ? QuestionAnswer::No : QuestionAnswer::Ask;
            reg.drive = drive.size() == 1 ? drive[0] : '\0';  // anything but one character is refused
            reg.plugins = plugins;
            return RunRegister(reg);
        }
        if (*listCommand) {
            return RunList(listOptions);
        }
        if (*showCommand) {
            return RunShow(showOptions, showId);
        }
        if (*searchCommand) {
            for (const std::string& word : words) {
                search.text += (search.text.empty() ? "" : " ") + word;
            }
            return RunSearch(searchOptions, search);
        }
        if (*exportCommand) {
            return RunExport(exportOptions, format);
        }
        if (*removeCommand) {
            return RunRemove(removeOptions, removeId);
        }
        if (*decodeCommand) {
            return RunDecode(discStream, entryStream, decodeJson);
        }
        return RunPlugins(plugins, pluginsJson);
    };
    try {
        const int status = run();
        // A full disc or a closed pipe behind standard output is found out here at the latest.
        if (!std::cout.flush()) {
            std::cerr << "wertowik: cannot write to standard output\n";
            return kExitIoError;
        }
        return status;
    } catch (const HostError& problem) {
        std::cerr << "wertowik: " << problem.what() << '\n';
        return problem.code();
    } catch (const std::exception& problem) {
        std::cerr << "wertowik: " << problem.what() << '\n';
        return kExitSoftware;
    }
}
