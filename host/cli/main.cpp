// wertowik: offers copies of cover discs to the plug-in libraries and keeps what they register in
// a searchable catalogue.
#include <CLI/CLI.hpp>
#include <malloc.h>

#include <csignal>
#include <cstring>
#include <regex>
#include <cstdlib>
#include <string_view>

#include <iostream>

#include "host/catalogue/catalogue.h"
#include "host/cli/commands.h"
#include "host/base/messages.h"
#include "host/base/helper_module.h"
#include "host/modules/plugin_module.h"
#include "host/base/errors.h"
#include "host/base/terminal_text.h"
#include "host/web/web_server.h"

namespace {

using namespace wertowik;

constexpr char kFooter[] = R"(Examples:
  wertowik register /media/cdrom
  wertowik register disc1/ disc2.iso --no
  wertowik list
  wertowik search zrodlo --licence freeware
  wertowik show 3
  wertowik export --format csv --output catalogue.csv

The catalogue is $XDG_DATA_HOME/wertowik/catalogue.sqlite (else
~/.local/share/wertowik/catalogue.sqlite) unless --catalogue names another.
Exit status: 0 registered, 1 no library claimed a disc, 2 a registration failed,
64 and above a usage or host error. `wertowik COMMAND --help` tells more.)";

#ifndef WERTOWIK_VERSION
#define WERTOWIK_VERSION "unknown"
#endif

// wertowik serve, run by the web module: only this command loads the HTTP server and the libraries
// it is linked with.
int ServeFromModule(const ServeCommand& command) {
    const HelperModule module(HelperModulePath(kWebModule));
    return module.Entry<ServeEntryFn>(kServeEntry)(&command);
}

void AddCatalogueOptions(CLI::App* command, CatalogueOptions& options) {
    command->add_option("--catalogue", options.catalogue, "Catalogue file (default: the one in your data folder)")
        ->type_name("FILE");
    command->add_flag("--json", options.json, "Print JSON for scripts instead of a table");
}

// A complaint of the command-line parser in the user's language: its usual forms, matched by their
// wording, with the names and values they quote kept; any other one as the parser words it.
std::string ParserComplaint(const std::string& complaint) {
    struct Form {
        const char* english;
        const char* message;
    };
    static const Form forms[] = {
        {R"(^(.+) is required$)", N_("{1} is required")},
        {R"(^The following arguments? (?:was|were) not expected: (.+)$)", N_("not expected: {1}")},
        {R"(^(.+): (\d+) required (.+) missing$)", N_("{1}: {2} required {3} missing")},
        {R"(^Could not convert: (.+) = (.*)$)", N_("cannot convert: {1} = {2}")},
        {R"(^(\S+) excludes (\S+)$)", N_("{1} cannot be given with {2}")},
        {R"(^(\S+) requires (\S+)$)", N_("{1} needs {2}")},
    };
    for (const Form& form : forms) {
        std::smatch parts;
        if (std::strcmp(Tr(form.message), form.message) == 0 || !std::regex_match(complaint, parts, std::regex(form.english))) {
            continue;
        }
        return Substitute(Tr(form.message), {std::string_view(parts.size() > 1 ? parts.str(1) : ""),
                                             std::string_view(parts.size() > 2 ? parts.str(2) : ""),
                                             std::string_view(parts.size() > 3 ? parts.str(3) : "")});
    }
    return complaint;
}

// The status after the help was printed: an I/O error when it could not be written.
int HelpShown(int status) {
    if (!std::cout.flush()) {
        TellError(Tr("cannot write to standard output"));
        return kExitIoError;
    }
    return status;
}

// The first argument that is not an option names the command: one that is not a command is
// answered with the list of those there are.
// Without any argument, the list is the answer too.
bool UnknownCommand(int argc, char** argv, const CLI::App& app) {
    std::string names;
    for (const CLI::App* command : app.get_subcommands({})) {
        names += (names.empty() ? "" : ", ") + command->get_name();
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("-")) {
            continue;
        }
        for (const CLI::App* command : app.get_subcommands({})) {
            if (command->get_name() == argument) {
                return false;
            }
        }
        TellError(std::string(Tr("unknown command")) + ' ' + ForTerminal(std::string(argument)) + "; " +
                  Tr("the commands are") + ' ' + names + " (" + Tr("wertowik --help tells more") + ")");
        return true;
    }
    if (argc < 2) {
        TellError(std::string(Tr("a command is needed:")) + ' ' + names + " (" + Tr("wertowik --help tells more") + ")");
        return true;
    }
    return false;
}

// Every text of the help in the user's language: the descriptions of the commands and options,
// the texts below them, the headings and the names of the values.
void TranslateHelp(CLI::App& app) {
    app.description(Tr(app.get_description().c_str()));
    app.footer(Tr(app.get_footer().c_str()));
    for (CLI::Option* option : app.get_options({})) {
        option->description(Tr(option->get_description().c_str()));
        if (option->nonpositional()) {
            option->group(Tr(option->get_group().c_str()));
        }
    }
    for (CLI::App* command : app.get_subcommands({})) {
        TranslateHelp(*command);
    }
}

void TranslateHelpLabels(CLI::App& app) {
    const auto formatter = app.get_formatter();
    for (const char* label : {"Usage", "OPTIONS", "SUBCOMMAND", "Positionals", "REQUIRED", "Excludes", "FILE", "DIR",
                              "PATH", "TEXT", "ID", "NAME", "FORMAT", "SIZE", "HEX", "LABEL", "X", "INT", "UINT", "PORT", "ADDRESS"}) {
        formatter->label(label, Tr(label));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Blocks of a quarter megabyte and more get pages of their own, given back when freed: the
    // files read whole from an image and the texts made for a large disc's report do not stay in
    // the heap once they are let go of, which keeps the peak memory near the size of the data.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // A closed pipe behind standard output is an output error like any other, found out and
    // reported, not a signal that ends the process (perhaps after the catalogue was changed).
    std::signal(SIGPIPE, SIG_IGN);
    SetUpMessages();
    CLI::App app{"wertowik: catalogue the programs on magazine cover discs"};
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", "wertowik " WERTOWIK_VERSION, "Print the version and exit");
    // The folder of the libraries: --plugins, else WERTOWIK_PLUGINS, else the one beside the program.
    std::filesystem::path plugins = DefaultPluginFolder();
    if (const char* folder = std::getenv("WERTOWIK_PLUGINS"); folder != nullptr && *folder != '\0') {
        plugins = folder;
    }

    RegisterOptions reg;
    CLI::App* registerCommand = app.add_subcommand(
        "register", "Offer discs (folders or disc images) to the libraries and catalogue them");
    registerCommand->footer(
        "Each DISC is a folder holding a disc's files or an image of one: a plain .iso, the raw copy of a CD\n"
        "(its .cue sheet, or its .bin file with or without the sheet beside it), a Nero .nrg, an Alcohol\n"
        ".mds/.mdf, a CloneCD .ccd/.img, or a .zip, .7z, .rar, .gz or .xz holding such images (each one is\n"
        "registered); the kind of image is told by its bytes. The label is --label, else the image's\n"
        "volume identifier or the first line of a folder's .windows-label file. Every disc is catalogued\n"
        "with its files, also one no library claims (unless --claimed-only). With several discs a line\n"
        "sums them up, --json prints {\"discs\": [...], \"summary\": {...}}, and the exit status is the\n"
        "worst of theirs.\n\n"
        "Examples:\n"
        "  wertowik register /media/cdrom\n"
        "  wertowik register disc1/ disc2.iso --no\n"
        "  wertowik register enter-2004-07.iso --issue 7 --year 2004 --yes\n"
        "  wertowik register /media/cdrom --json --streams out --no-catalogue");
    registerCommand->add_option("DISC", reg.discs, "Disc folders, disc images or archives of them")
        ->required()
        ->type_name("PATH");
    // Taken as text: read into a character, a number would be taken for the character of that code.
    std::string drive = "D";
    registerCommand->add_option("--drive", drive, "Drive letter the disc is mounted as (default D)")->type_name("X");
    registerCommand->add_option("--label", reg.label, "Volume label (default: the disc's own, else empty)")
        ->type_name("LABEL");
    registerCommand->add_option("--only", reg.only, "Offer the disc to this library alone")->type_name("NAME");
    registerCommand->add_option("--record", reg.record,
                                "The host's 25-byte disc record as 50 hex digits (its DiscId is replaced by the "
                                "next free one when the catalogue holds a disc of that identifier)")
        ->type_name("HEX");
    registerCommand->add_option("--issue", reg.issue,
                                "Issue number put into the record (for libraries that keep the host's, as Enter's)");
    registerCommand->add_option("--year", reg.year, "Year put into the record, likewise");
    bool yes = false, no = false;
    auto* yesFlag = registerCommand->add_flag("--yes", yes, "Answer Yes to the libraries' questions");
    registerCommand->add_flag("--no", no, "Answer No to the libraries' questions")->excludes(yesFlag);
    registerCommand->add_option("--streams", reg.streams,
                                "Write the raw streams to DIR/discs.bin and DIR/entries.bin (DIR/N/ for the "
                                "N-th of several discs)")
        ->type_name("DIR");
    registerCommand->add_flag("--json", reg.json, "Print JSON: one object, or an array for several discs");
    registerCommand->add_flag("--quiet", reg.quiet, "Print nothing but errors and questions; no progress bar");
    auto* catalogueOption =
        registerCommand->add_option("--catalogue", reg.catalogue, "Catalogue file")->type_name("FILE");
    auto* againFlag =
        registerCommand->add_flag("--again", reg.again, "Store a disc even when it is catalogued already");
    auto* claimedOnlyFlag = registerCommand->add_flag(
        "--claimed-only", reg.claimedOnly, "Catalogue only discs a library claims (others are stored with their files)");
    registerCommand->add_flag("--no-catalogue", reg.noCatalogue, "Do not store the discs in a catalogue")
        ->excludes(catalogueOption)
        ->excludes(againFlag)
        ->excludes(claimedOnlyFlag);
    registerCommand->add_option("--plugins", plugins, "Folder of the plug-in libraries")->type_name("DIR");
    registerCommand
        ->add_option("--max-file-size", reg.maxFileSize,
                     "The most a file the libraries read whole may hold, in bytes or with K, M, G (default 512M)")
        ->transform(CLI::AsSizeValue(false).description(""))
        ->type_name("SIZE");

    CatalogueOptions listOptions;
    ListOptions list;
    std::vector<std::string> listWords;
    CLI::App* listCommand = app.add_subcommand("list", "List the catalogued discs");
    listCommand->add_option("TEXT", listWords, "Only discs whose name, label, library or year hold these words");
    listCommand->add_option("--library", list.library, "Only discs of this library (none: those no library claimed)")
        ->type_name("NAME");
    listCommand->footer("Examples:\n  wertowik list\n  wertowik list chip 2004\n  wertowik list --library none --json");
    listCommand->add_option("--year", list.year, "Only discs of this year");
    AddCatalogueOptions(listCommand, listOptions);

    CatalogueOptions filesOptions;
    std::string filesId, filesPath;
    CLI::App* filesCommand = app.add_subcommand("files", "List the files and folders of a disc");
    filesCommand->add_option("ID", filesId, "The disc's identifier (see list)")->required();
    filesCommand->add_option("PATH", filesPath, "Only this folder (or file) of the disc, with what it holds")
        ->type_name("PATH");
    AddCatalogueOptions(filesCommand, filesOptions);
    filesCommand->footer("Examples:\n  wertowik files 3\n  wertowik files 3 INSTALL");

    CatalogueOptions showOptions;
    std::string showId;
    CLI::App* showCommand = app.add_subcommand("show", "Show a disc and its programs");
    showCommand->add_option("ID", showId, "The disc's identifier (see list)")->required();
    AddCatalogueOptions(showCommand, showOptions);
    showCommand->footer("Examples:\n  wertowik show 3\n  wertowik show 3 --json");

    CatalogueOptions searchOptions;
    SearchOptions search;
    std::vector<std::string> words;
    CLI::App* searchCommand = app.add_subcommand(
        "search", "Find discs, programs and files by words, or files by a name pattern such as *.exe");
    searchCommand->footer(
        "Every word must match the start of a word; letter case and Polish diacritics do not matter\n"
        "(\"zrodlo\" finds \"\xC5\xB9r\xC3\xB3" "d\xC5\x82o\", \"lodz\" finds \"\xC5\x81\xC3\xB3" "d\xC5\xBA\").\n"
        "Words find discs (by name, label, library or year), programs and files; a pattern with * or ?\n"
        "(quoted: '*.exe') finds the files whose whole name it matches.\n\n"
        "Examples:\n"
        "  wertowik search zrodlo danych\n"
        "  wertowik search edytor --licence freeware --disc 3 --json\n"
        "  wertowik search '*.exe' --files");
    searchCommand->add_option("TEXT", words, "Words to look for")->required();
    searchCommand->add_option("--licence,--license", search.licence,
                              "Only programs of this licence: unspecified, shareware, freeware, demo, full, "
                              "trial, gpl, adware (any letter case)")
        ->type_name("NAME");
    searchCommand->add_option("--disc", search.disc, "Only programs and files of this disc")->type_name("ID");
    searchCommand->add_option("--library", search.library, "Only discs, programs and files of this library")
        ->type_name("NAME");
    auto* filesFlag = searchCommand->add_flag("--files", search.files, "Only files and folders");
    searchCommand->add_flag("--programs", search.programs, "Only programs")->excludes(filesFlag);
    searchCommand->add_option("--limit", search.limit, "Show at most this many matches (default 50, 0: all)")
        ->check([](const std::string& value) {
            return value.find('-') == std::string::npos ? std::string() : "a number of matches is never negative";
        });
    AddCatalogueOptions(searchCommand, searchOptions);

    CatalogueOptions exportOptions;
    ExportOptions exportWhat;
    CLI::App* exportCommand = app.add_subcommand("export", "Print the whole catalogue as JSON or CSV");
    exportCommand->add_option("--format", exportWhat.format, "json (default) or csv")->type_name("FORMAT");
    exportCommand->add_flag("--excel", exportWhat.excel,
                            "CSV for a spreadsheet set to Polish: UTF-8 with a byte-order mark, semicolons");
    exportCommand->add_option("--output,-o", exportWhat.output,
                              "Write to FILE (made whole beside it, then renamed) instead of standard output")
        ->type_name("FILE");
    exportCommand->add_option("--catalogue", exportOptions.catalogue, "Catalogue file")->type_name("FILE");
    exportCommand->footer(
        "Examples:\n"
        "  wertowik export > catalogue.json\n"
        "  wertowik export --format csv --output catalogue.csv\n"
        "  wertowik export --format csv --excel --output katalog.csv");

    CatalogueOptions removeOptions;
    std::string removeId;
    CLI::App* removeCommand = app.add_subcommand("remove", "Remove a disc and its programs from the catalogue");
    removeCommand->add_option("ID", removeId, "The disc's identifier (see list)")->required();
    AddCatalogueOptions(removeCommand, removeOptions);
    removeCommand->footer("Examples:\n  wertowik remove 3");

    std::filesystem::path discStream, entryStream;
    bool decodeJson = false;
    CLI::App* decodeCommand = app.add_subcommand("decode", "Print the records of two raw streams");
    decodeCommand->add_option("DISCSTREAM", discStream, "The disc stream (discs.bin)")
        ->required()
        ->type_name("FILE");
    decodeCommand->add_option("ENTRYSTREAM", entryStream, "The entry stream (entries.bin)")
        ->required()
        ->type_name("FILE");
    decodeCommand->footer("Examples:\n  wertowik decode out/discs.bin out/entries.bin");
    decodeCommand->add_flag("--json", decodeJson, "Print one JSON object");

    bool pluginsJson = false;
    CLI::App* pluginsCommand = app.add_subcommand("plugins", "List the plug-in libraries");
    pluginsCommand->add_flag("--json", pluginsJson, "Print JSON");
    pluginsCommand->add_option("--plugins", plugins, "Folder of the plug-in libraries")->type_name("DIR");
    pluginsCommand->footer("Examples:\n  wertowik plugins\n  wertowik plugins --json --plugins build/plugins");

    ServeCommand serve;
    CLI::App* serveCommand =
        app.add_subcommand("serve", "Browse and search the catalogue in a web browser on this computer");
    serveCommand->add_option("--catalogue", serve.catalogue, "Catalogue file")->type_name("FILE");
    serveCommand->add_option("--port", serve.port, "Port to listen on (default 8080, 0: any free one)")
        ->type_name("PORT");
    serveCommand->add_option("--address", serve.address,
                             "Address to listen on (default 127.0.0.1: this computer alone)")
        ->type_name("ADDRESS");
    serveCommand->add_flag("--open", serve.open, "Open the pages in the web browser");
    serveCommand->footer(
        "The pages show the discs, each disc's programs and files, and a search as you type; they\n"
        "never change the catalogue. /api/ answers the same in JSON for scripts. Ctrl+C ends.\n\n"
        "Examples:\n"
        "  wertowik serve --open\n"
        "  wertowik serve --port 8000 --catalogue katalog.sqlite");

    // Set once the commands are there, which would otherwise show it below their own help.
    app.footer(kFooter);
    TranslateHelp(app);
    TranslateHelpLabels(app);
    for (CLI::App* command : app.get_subcommands({})) {
        command->group(Tr("Subcommands"));
    }

    if (UnknownCommand(argc, argv, app)) {
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        return HelpShown(app.exit(version));
    } catch (const CLI::CallForHelp& help) {
        return HelpShown(app.exit(help));
    } catch (const CLI::CallForAllHelp& help) {
        return HelpShown(app.exit(help));
    } catch (const CLI::ParseError& problem) {
        TellError(ForTerminal(ParserComplaint(problem.what())));
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
            for (const std::string& word : listWords) {
                list.text += (list.text.empty() ? "" : " ") + word;
            }
            return RunList(listOptions, list);
        }
        if (*filesCommand) {
            return RunFiles(filesOptions, filesId, filesPath);
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
            return RunExport(exportOptions, exportWhat);
        }
        if (*removeCommand) {
            return RunRemove(removeOptions, removeId);
        }
        if (*decodeCommand) {
            return RunDecode(discStream, entryStream, decodeJson);
        }
        if (*serveCommand) {
            return ServeFromModule(serve);
        }
        return RunPlugins(plugins, pluginsJson);
    };
    try {
        const int status = run();
        // A full disc or a closed pipe behind standard output is found out here at the latest. A
        // change committed to the catalogue stays reported as made: a script that took the failure
        // for "nothing changed" would store the disc a second time.
        if (!std::cout.flush()) {
            if (CatalogueChanged()) {
                TellError(Tr("cannot write to standard output; the catalogue was changed all the same"));
                return status;
            }
            TellError(Tr("cannot write to standard output"));
            return kExitIoError;
        }
        return status;
    } catch (const std::exception&) {
        return TellCurrentError();
    }
}
