// wertowik register: its options and help; the work is RunRegister's.
#include <memory>

#include "host/cli/command.h"
#include "host/cli/register_run.h"

namespace wertowik {

namespace {

CommandRun SetUp(CLI::App& command, CommonOptions& common) {
    struct State {
        RegisterOptions options;
        // Taken as text: read into a character, a number would be taken for the character of that code.
        std::string drive = "D";
        bool yes = false, no = false;
    };
    auto state = std::make_shared<State>();
    command.footer(
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
    command.add_option("DISC", state->options.discs, "Disc folders, disc images or archives of them")
        ->required()
        ->type_name("PATH");
    command.add_option("--drive", state->drive, "Drive letter the disc is mounted as (default D)")->type_name("X");
    command.add_option("--label", state->options.label, "Volume label (default: the disc's own, else empty)")
        ->type_name("LABEL");
    command.add_option("--only", state->options.only, "Offer the disc to this library alone")->type_name("NAME");
    command
        .add_option("--record", state->options.record,
                    "The host's 25-byte disc record as 50 hex digits (its DiscId is replaced by the "
                    "next free one when the catalogue holds a disc of that identifier)")
        ->type_name("HEX");
    command.add_option("--issue", state->options.issue,
                       "Issue number put into the record (for libraries that keep the host's, as Enter's)");
    command.add_option("--year", state->options.year, "Year put into the record, likewise");
    auto* yesFlag = command.add_flag("--yes", state->yes, "Answer Yes to the libraries' questions");
    command.add_flag("--no", state->no, "Answer No to the libraries' questions")->excludes(yesFlag);
    command
        .add_option("--streams", state->options.streams,
                    "Write the raw streams to DIR/discs.bin and DIR/entries.bin (DIR/N/ for the "
                    "N-th of several discs)")
        ->type_name("DIR");
    command.add_flag("--json", state->options.json, "Print JSON: one object, or an array for several discs");
    command.add_flag("--quiet", state->options.quiet, "Print nothing but errors and questions; no progress bar");
    auto* catalogueOption =
        command.add_option("--catalogue", state->options.catalogue, "Catalogue file")->type_name("FILE");
    auto* againFlag =
        command.add_flag("--again", state->options.again, "Store a disc even when it is catalogued already");
    auto* claimedOnlyFlag =
        command.add_flag("--claimed-only", state->options.claimedOnly,
                         "Catalogue only discs a library claims (others are stored with their files)");
    command.add_flag("--no-catalogue", state->options.noCatalogue, "Do not store the discs in a catalogue")
        ->excludes(catalogueOption)
        ->excludes(againFlag)
        ->excludes(claimedOnlyFlag);
    command.add_option("--plugins", common.plugins, "Folder of the plug-in libraries")->type_name("DIR");
    command
        .add_option("--max-file-size", state->options.maxFileSize,
                    "The most a file the libraries read whole may hold, in bytes or with K, M, G (default 512M)")
        ->transform(CLI::AsSizeValue(false).description(""))
        ->type_name("SIZE");
    return [state, &common] {
        RegisterOptions& options = state->options;
        options.answer = state->yes ? QuestionAnswer::Yes : state->no ? QuestionAnswer::No : QuestionAnswer::Ask;
        options.drive = state->drive.size() == 1 ? state->drive[0] : '\0';  // anything but one character is refused
        options.plugins = common.plugins;
        return RunRegister(options);
    };
}

}  // namespace

const Command kRegisterCommand{"register", "Offer discs (folders or disc images) to the libraries and catalogue them",
                               SetUp};

}  // namespace wertowik
