// wertowik list, show, search, export and remove: the catalogue for people (tables) and for
// scripts (--json).
#include <algorithm>
#include <iostream>
#include <map>
#include <string_view>

#include <nlohmann/json.hpp>

#include "catalogue.h"
#include "commands.h"
#include "json_report.h"
#include "table.h"
#include "terminal_text.h"

namespace wertowik {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t kNameWidth = 40;
constexpr std::size_t kDescriptionWidth = 60;

fs::path FileOf(const CatalogueOptions& options) {
    return options.catalogue ? *options.catalogue : DefaultCataloguePath();
}

std::string IssueText(int issue, int year) { return std::to_string(issue) + "/" + std::to_string(year); }

json DiscJson(const DiscRow& disc) {
    return json{
        {"id", disc.id},
        {"name", disc.name},
        {"issue", disc.issue},
        {"year", disc.year},
        {"label", disc.label},
        {"library", disc.plugin},
        {"source", disc.source},
        {"programs", disc.programs},
        {"result", disc.result},
        {"registeredAt", disc.registeredAt},
        {"record", RecordHex(disc.record)},
    };
}

json ProgramJson(const ProgramRow& program) {
    return json{
        {"disc", program.disc},
        {"position", program.position},
        {"licence", program.licence},
        {"licenceName", LicenceName(program.licence)},
        {"name", program.name},
        {"version", program.version},
        {"description", program.description},
    };
}

// A CSV field, always valid UTF-8: a NUL byte and each byte that is not UTF-8 (a path named in
// another code page) become U+FFFD, as in the JSON; so does every other control character but the
// tabs and line breaks of a text, so that a CSV printed on a terminal cannot steer it. A text that
// a spreadsheet would take for a formula (it begins with =, +, -, @, TAB or CR) gets a leading
// apostrophe, which spreadsheets take as "text" and do not show. Quoted when it holds a comma, quote
// or line break, with quotes doubled.
std::string CsvField(const std::string& cell) {
    std::string text = cell;
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
        text = json::parse(JsonText(json(cell))).get<std::string>();
    }
    if (std::any_of(text.begin(), text.end(), control) || text.find('\xC2') != std::string::npos) {
        std::string kept;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                            static_cast<unsigned char>(text[i + 1]) <= 0x9F;
            if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F || c1) {
                kept += "\xEF\xBF\xBD";
                i += c1 ? 1 : 0;
            } else {
                kept += static_cast<char>(c);
            }
        }
        text = std::move(kept);
    }
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        text.insert(text.begin(), '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

void CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i > 0 ? "," : "") + CsvField(fields[i]);
    }
    std::cout << line << "\r\n";
}

DiscRow RequireDisc(Catalogue& catalogue, uint16_t id) {
    std::optional<DiscRow> disc = catalogue.Disc(id);
    if (!disc) {
        throw HostError(kExitDataError, "no disc " + std::to_string(id) + " in " + catalogue.file().string());
    }
    return *disc;
}

TextTable ProgramTable(bool withDisc) {
    std::vector<std::string> headers;
    if (withDisc) {
        headers = {"Disc", "#", "Program", "Version", "Licence", "Description"};
    } else {
        headers = {"#", "Program", "Version", "Licence", "Description"};
    }
    TextTable table(headers);
    const std::size_t first = withDisc ? 1 : 0;
    if (withDisc) {
        table.AlignRight(0);
    }
    table.AlignRight(first);
    table.LimitWidth(first + 1, kNameWidth);
    table.LimitWidth(first + 2, 16);
    table.LimitWidth(first + 4, kDescriptionWidth);
    return table;
}

std::vector<std::string> ProgramCells(const ProgramRow& program) {
    return {std::to_string(program.position), program.name, program.version, LicenceName(program.licence),
            program.description};
}

}  // namespace

int RunList(const CatalogueOptions& options) {
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const std::vector<DiscRow> discs = catalogue.Discs();
    if (options.json) {
        json list = json::array();
        for (const DiscRow& disc : discs) {
            list.push_back(DiscJson(disc));
        }
        std::cout << JsonText(list, 2) << '\n';
        return 0;
    }
    if (discs.empty()) {
        std::cout << "No discs in " << ForTerminal(catalogue.file().string()) << ".\n";
        return 0;
    }
    TextTable table({"ID", "Disc", "Issue", "Label", "Library", "Programs", "Source"});
    table.AlignRight(0);
    table.AlignRight(5);
    table.LimitWidth(1, kNameWidth);
    for (const DiscRow& disc : discs) {
        table.AddRow({std::to_string(disc.id), disc.name, IssueText(disc.issue, disc.year), disc.label, disc.plugin,
                      std::to_string(disc.programs), disc.source});
    }
    std::cout << table.Render();
    return 0;
}

int RunShow(const CatalogueOptions& options, const std::string& idText) {
    const uint16_t id = ParseDiscId(idText);
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    const DiscRow disc = RequireDisc(catalogue, id);
    const std::vector<ProgramRow> programs = catalogue.Programs(id);
    if (options.json) {
        json shown = DiscJson(disc);
        shown["entries"] = json::array();
        for (const ProgramRow& program : programs) {
            shown["entries"].push_back(ProgramJson(program));
        }
        std::cout << JsonText(shown, 2) << '\n';
        return 0;
    }
    std::cout << "Disc " << disc.id << ": " << ForTerminal(disc.name) << '\n'
              << "  Issue:      " << IssueText(disc.issue, disc.year) << '\n'
              << "  Label:      " << ForTerminal(disc.label) << '\n'
              << "  Library:    " << ForTerminal(disc.plugin) << " (result " << disc.result << ")\n"
              << "  Source:     " << ForTerminal(disc.source) << '\n'
              << "  Registered: " << ForTerminal(disc.registeredAt) << '\n'
              << "  Record:     " << RecordHex(disc.record) << '\n'
              << "  Programs:   " << programs.size() << '\n';
    if (!programs.empty()) {
        TextTable table = ProgramTable(false);
        for (const ProgramRow& program : programs) {
            table.AddRow(ProgramCells(program));
        }
        std::cout << '\n' << table.Render();
    }
    return 0;
}

int RunSearch(const CatalogueOptions& options, const SearchOptions& search) {
    SearchQuery query;
    query.text = search.text;
    if (search.licence) {
        query.licence = ParseLicence(*search.licence);
        if (!query.licence) {
            std::string names;
            for (const std::string& name : LicenceNames()) {
                names += (names.empty() ? "" : ", ") + name;
            }
            throw HostError(kExitUsage, "unknown licence \"" + *search.licence + "\" (one of " + names + ", or 0 to 7)");
        }
    }
    if (search.disc) {
        query.disc = ParseDiscId(*search.disc);
    }
    // One more than shown tells whether there are more.
    query.limit = search.limit == 0 ? 0 : search.limit + 1;
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    std::vector<SearchHit> hits = catalogue.Search(query);
    const bool more = search.limit != 0 && hits.size() > search.limit;
    if (more) {
        hits.resize(search.limit);
    }
    if (options.json) {
        json found = json::array();
        for (const SearchHit& hit : hits) {
            json item = ProgramJson(hit.program);
            item["discName"] = hit.discName;
            item["issue"] = hit.issue;
            item["year"] = hit.year;
            found.push_back(std::move(item));
        }
        std::cout << JsonText(json{{"query", search.text}, {"matches", found}, {"more", more}}, 2) << '\n';
        return 0;
    }
    if (hits.empty()) {
        std::cout << "Nothing matches \"" << ForTerminal(search.text) << "\".\n";
        return 0;
    }
    TextTable table = ProgramTable(true);
    for (const SearchHit& hit : hits) {
        std::vector<std::string> cells = ProgramCells(hit.program);
        cells.insert(cells.begin(), std::to_string(hit.program.disc));
        table.AddRow(std::move(cells));
    }
    std::cout << table.Render();
    if (more) {
        std::cout << "First " << hits.size() << " matches shown; --limit 0 shows all.\n";
    } else {
        std::cout << hits.size() << (hits.size() == 1 ? " match.\n" : " matches.\n");
    }
    return 0;
}

int RunExport(const CatalogueOptions& options, const std::string& format) {
    if (format != "json" && format != "csv") {
        throw HostError(kExitUsage, "export --format takes json or csv, not \"" + format + "\"");
    }
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    const std::vector<DiscRow> discs = catalogue.Discs();
    if (format == "json") {
        // Written disc by disc, so that a large catalogue is never held whole as one JSON value.
        std::cout << "{\"catalogue\":" << JsonText(json(catalogue.file().string())) << ",\"discs\":[";
        for (std::size_t i = 0; i < discs.size(); ++i) {
            json disc = DiscJson(discs[i]);
            disc["entries"] = json::array();
            for (const ProgramRow& program : catalogue.Programs(discs[i].id)) {
                disc["entries"].push_back(ProgramJson(program));
            }
            std::cout << (i > 0 ? ",\n" : "\n") << JsonText(disc);
        }
        std::cout << "\n]}\n";
        return 0;
    }
    // One row per program; a disc without programs still gets one row, with the program columns empty.
    CsvLine({"disc_id", "disc_name", "issue", "year", "label", "library", "source", "position", "licence",
             "licence_name", "name", "version", "description"});
    for (const DiscRow& disc : discs) {
        const std::vector<std::string> head{std::to_string(disc.id), disc.name,   std::to_string(disc.issue),
                                            std::to_string(disc.year), disc.label, disc.plugin, disc.source};
        const std::vector<ProgramRow> programs = catalogue.Programs(disc.id);
        if (programs.empty()) {
            std::vector<std::string> row = head;
            row.resize(head.size() + 6);
            CsvLine(row);
        }
        for (const ProgramRow& program : programs) {
            std::vector<std::string> row = head;
            row.insert(row.end(), {std::to_string(program.position), std::to_string(program.licence),
                                   LicenceName(program.licence), program.name, program.version, program.description});
            CsvLine(row);
        }
    }
    return 0;
}

int RunRemove(const CatalogueOptions& options, const std::string& idText) {
    const uint16_t id = ParseDiscId(idText);
    // A catalogue that is not there holds no disc to remove: it is read (as empty), not created.
    const fs::path file = FileOf(options);
    std::error_code error;
    const bool exists = fs::exists(fs::symlink_status(file, error)) || !file.has_filename();
    Catalogue catalogue = Catalogue::Open(file, exists ? Catalogue::Access::Write : Catalogue::Access::Read);
    const DiscRow disc = RequireDisc(catalogue, id);
    if (!catalogue.Remove(id)) {
        throw HostError(kExitDataError, "no disc " + std::to_string(id) + " in " + catalogue.file().string());
    }
    NoteCatalogueChanged();
    if (options.json) {
        std::cout << JsonText(json{{"removed", id}, {"name", disc.name}, {"programs", disc.programs}}, 2) << '\n';
    } else {
        std::cout << "Removed disc " << id << " (" << ForTerminal(disc.name) << ", " << disc.programs << " programs).\n";
    }
    return 0;
}

}  // namespace wertowik
