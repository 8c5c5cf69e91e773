// wertowik search: discs, programs and files by words, or files by a name pattern.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/terminal_text.h"
#include "host/catalogue/names.h"
#include "host/catalogue/word_query.h"
#include "host/cli/command.h"
#include "host/report/catalogue_json.h"
#include "host/report/catalogue_text.h"
#include "host/report/json_report.h"
#include "host/report/table.h"

namespace wertowik {

namespace {

using nlohmann::json;

struct SearchOptions {
    std::string text;
    std::optional<std::string> licence;    // a licence name or code
    std::optional<std::string> disc;       // a disc identifier
    std::optional<std::string> library;    // a library's name
    bool files = false, programs = false;  // only these
    std::size_t limit = 50;                // 0: every match
};

std::optional<uint8_t> LicenceOption(const std::optional<std::string>& given) {
    if (!given) {
        return std::nullopt;
    }
    std::optional<uint8_t> licence = ParseLicence(*given);
    if (!licence) {
        std::string names;
        for (const std::string& name : LicenceNames()) {
            names += (names.empty() ? "" : ", ") + name;
        }
        throw HostError(kExitUsage, Say("unknown licence \"{1}\" (one of {2}, or 0 to 7)", *given, names));
    }
    return licence;
}

// One more than shown tells whether there are more.
std::size_t Asked(std::size_t limit) { return limit == 0 ? 0 : limit + 1; }

template <typename T>
bool CutToLimit(std::vector<T>& hits, std::size_t limit) {
    const bool more = limit != 0 && hits.size() > limit;
    if (more) {
        hits.resize(limit);
    }
    return more;
}

// "3 programs." or, when the limit cut the list, "First 50 programs shown; --limit 0 shows all.".
void PrintCount(const std::string& counted, bool more) {
    std::cout << (more ? Say("First {1} shown; --limit 0 shows all.", counted) : counted + ".") << '\n';
}

int RunSearch(const CatalogueOptions& options, const SearchOptions& search) {
    // A name pattern looks for files; words look everywhere, unless --files or --programs says.
    const bool pattern = IsPattern(search.text);
    const bool wantPrograms = search.programs || (!search.files && !pattern);
    const bool wantFiles = search.files || (!search.programs);
    const bool wantDiscs = !search.files && !search.programs && !pattern && !search.disc && !search.licence;
    std::optional<uint16_t> disc;
    if (search.disc) {
        disc = ParseDiscId(*search.disc);
    }
    const std::optional<uint8_t> licence = LicenceOption(search.licence);
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();

    std::vector<DiscRow> discs;
    if (wantDiscs) {
        discs = catalogue.FindDiscs(DiscQuery{search.text, search.library, std::nullopt});
    }
    std::vector<SearchHit> programs;
    bool morePrograms = false;
    if (wantPrograms) {
        programs = catalogue.Search(SearchQuery{search.text, licence, disc, Asked(search.limit), search.library});
        morePrograms = CutToLimit(programs, search.limit);
    }
    std::vector<FileHit> files;
    bool moreFiles = false;
    if (wantFiles && !licence) {
        files = catalogue.SearchFiles(FileQuery{search.text, disc, Asked(search.limit), search.library});
        moreFiles = CutToLimit(files, search.limit);
    }

    if (options.json) {
        // Each hit with the disc it lies on.
        const auto withDisc = [](json item, const auto& hit) {
            item["discName"] = hit.discName;
            item["issue"] = hit.issue;
            item["year"] = hit.year;
            return item;
        };
        json foundPrograms = json::array();
        for (const SearchHit& hit : programs) {
            foundPrograms.push_back(withDisc(ProgramJson(hit.program), hit));
        }
        json foundFiles = json::array();
        for (const FileHit& hit : files) {
            foundFiles.push_back(withDisc(FileJson(hit.file), hit));
        }
        json foundDiscs = json::array();
        for (const DiscRow& row : discs) {
            foundDiscs.push_back(DiscJson(row));
        }
        std::cout << JsonText(json{{"query", search.text},
                                   {"discs", foundDiscs},
                                   {"matches", foundPrograms},
                                   {"more", morePrograms},
                                   {"files", foundFiles},
                                   {"moreFiles", moreFiles}},
                              2)
                  << '\n';
        return 0;
    }
    if (discs.empty() && programs.empty() && files.empty()) {
        std::cout << Say("Nothing matches \"{1}\".", ForTerminal(search.text)) << '\n';
        return 0;
    }
    const std::size_t width = TerminalColumns();
    bool first = true;
    const auto heading = [&first](const char* title) {
        std::cout << (first ? "" : "\n") << title << '\n';
        first = false;
    };
    if (!discs.empty()) {
        heading(Tr("Discs"));
        TextTable table({"ID", Tr("Disc"), Tr("Label"), Tr("Library"), Tr("Programs"), Tr("Files")});
        table.AlignRight(0);
        table.AlignRight(4);
        table.AlignRight(5);
        table.LimitWidth(1, kNameWidth);
        table.Shrinkable(1);
        for (const DiscRow& row : discs) {
            table.AddRow({std::to_string(row.id), DiscTitle(row), row.label, LibraryText(row),
                          std::to_string(row.programs), std::to_string(row.files)});
        }
        std::cout << table.Render(width);
    }
    if (wantPrograms && !programs.empty()) {
        heading(Tr("Programs"));
        TextTable table = ProgramTable(true);
        for (const SearchHit& hit : programs) {
            std::vector<std::string> cells = ProgramCells(hit.program);
            cells.insert(cells.begin(),
                         std::to_string(hit.program.disc) + " " + DiscTitle(hit.discName, hit.issue, hit.year, ""));
            table.AddRow(std::move(cells));
        }
        std::cout << table.Render(width);
        PrintCount(SayCount("{1} program", "{1} programs", programs.size()), morePrograms);
    }
    if (wantFiles && !files.empty()) {
        heading(Tr("Files"));
        TextTable table({Tr("Disc"), Tr("Path"), Tr("Size"), Tr("Modified")});
        table.LimitWidth(0, kNameWidth);
        table.AlignRight(2);
        table.Shrinkable(1);
        table.Shrinkable(0);
        for (const FileHit& hit : files) {
            table.AddRow(
                {std::to_string(hit.file.disc) + " " + DiscTitle(hit.discName, hit.issue, hit.year, hit.discLabel),
                 hit.file.path + (hit.file.directory ? "/" : ""),
                 hit.file.directory ? "" : std::to_string(hit.file.size), TimeText(hit.file.modified)});
        }
        std::cout << table.Render(width);
        PrintCount(SayCount("{1} file", "{1} files", files.size()), moreFiles);
    }
    return 0;
}

CommandRun SetUp(CLI::App& command, CommonOptions&) {
    struct State {
        CatalogueOptions options;
        SearchOptions search;
        std::vector<std::string> words;
    };
    auto state = std::make_shared<State>();
    command.footer(
        "Every word must match the start of a word; letter case and Polish diacritics do not matter\n"
        "(\"zrodlo\" finds \"\xC5\xB9r\xC3\xB3"
        "d\xC5\x82o\", \"lodz\" finds \"\xC5\x81\xC3\xB3"
        "d\xC5\xBA\").\n"
        "Words find discs (by name, label, library or year), programs and files; a pattern with * or ?\n"
        "(quoted: '*.exe') finds the files whose whole name it matches.\n\n"
        "Examples:\n"
        "  wertowik search zrodlo danych\n"
        "  wertowik search edytor --licence freeware --disc 3 --json\n"
        "  wertowik search '*.exe' --files");
    command.add_option("TEXT", state->words, "Words to look for")->required();
    command
        .add_option("--licence,--license", state->search.licence,
                    "Only programs of this licence: unspecified, shareware, freeware, demo, full, "
                    "trial, gpl, adware (any letter case)")
        ->type_name("NAME");
    command.add_option("--disc", state->search.disc, "Only programs and files of this disc")->type_name("ID");
    command.add_option("--library", state->search.library, "Only discs, programs and files of this library")
        ->type_name("NAME");
    auto* filesFlag = command.add_flag("--files", state->search.files, "Only files and folders");
    command.add_flag("--programs", state->search.programs, "Only programs")->excludes(filesFlag);
    command.add_option("--limit", state->search.limit, "Show at most this many matches (default 50, 0: all)")
        ->check([](const std::string& value) {
            return value.find('-') == std::string::npos ? std::string() : "a number of matches is never negative";
        });
    AddCatalogueOptions(&command, state->options);
    return [state] {
        state->search.text = JoinWords(state->words);
        return RunSearch(state->options, state->search);
    };
}

}  // namespace

const Command kSearchCommand{
    "search", "Find discs, programs and files by words, or files by a name pattern such as *.exe", SetUp};

}  // namespace wertowik
