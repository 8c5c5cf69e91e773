// wertowik: offers copies of cover discs to the plug-in libraries and keeps what they register in
// a searchable catalogue. main holds the table of the commands; each is a file of commands/.
#include <malloc.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <regex>
#include <string_view>
#include <vector>

#include "host/base/environment.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/cli/command.h"
#include "host/modules/plugin_module.h"

namespace {

using namespace wertowik;

// In the order the help lists them.
const Command* const kCommands[] = {&kRegisterCommand, &kListCommand,   &kFilesCommand,  &kShowCommand,
                                    &kSearchCommand,   &kExportCommand, &kRemoveCommand, &kDecodeCommand,
                                    &kPluginsCommand,  &kServeCommand};

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
        if (std::strcmp(Tr(form.message), form.message) == 0 ||
            !std::regex_match(complaint, parts, std::regex(form.english))) {
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
        TellError(std::string(Tr("a command is needed:")) + ' ' + names + " (" + Tr("wertowik --help tells more") +
                  ")");
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
    for (const char* label : {"Usage", "OPTIONS", "SUBCOMMAND", "Positionals", "REQUIRED", "Excludes", "FILE",
                              "DIR",   "PATH",    "TEXT",       "ID",          "NAME",     "FORMAT",   "SIZE",
                              "HEX",   "LABEL",   "X",          "INT",         "UINT",     "PORT",     "ADDRESS"}) {
        formatter->label(label, Tr(label));
    }
}

// The exit status of a command that ran: a full disc or a closed pipe behind standard output is
// found out here at the latest. A change committed to the catalogue stays reported as made: a
// script that took the failure for "nothing changed" would store the disc a second time.
int Finished(int status) {
    if (std::cout.flush()) {
        return status;
    }
    if (CatalogueChanged()) {
        TellError(Tr("cannot write to standard output; the catalogue was changed all the same"));
        return status;
    }
    TellError(Tr("cannot write to standard output"));
    return kExitIoError;
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
    CommonOptions common{Environment("WERTOWIK_PLUGINS").value_or(DefaultPluginFolder())};
    std::vector<std::pair<CLI::App*, CommandRun>> commands;
    for (const Command* command : kCommands) {
        CLI::App* parser = app.add_subcommand(command->name, command->description);
        commands.emplace_back(parser, command->setUp(*parser, common));
    }
    // Set once the commands are there, which would otherwise show it below their own help.
    app.footer(kFooter);
    TranslateHelp(app);
    TranslateHelpLabels(app);
    for (const auto& command : commands) {
        command.first->group(Tr("Subcommands"));
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
    try {
        for (const auto& [parser, run] : commands) {
            if (*parser) {
                return Finished(run());
            }
        }
        return kExitSoftware;
    } catch (const std::exception&) {
        return TellCurrentError();
    }
}
