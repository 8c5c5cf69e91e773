// wertowik list, show, search, export and remove: the catalogue for people (tables) and for
// scripts (--json).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <string_view>

#include <nlohmann/json.hpp>

#include "host/catalogue/catalogue.h"
#include "host/catalogue/word_query.h"
#include "host/cli/catalogue_json.h"
#include "host/cli/commands.h"
#include "host/cli/json_report.h"
#include "host/base/messages.h"
#include "host/cli/table.h"
#include "host/base/display_text.h"
#include "host/base/pending_file.h"
#include "host/base/terminal_text.h"
#include "host/base/text_fold.h"

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

// "  Label:      TEXT" lines, the values lined up after the longest name, whatever the language.
std::string AlignedFields(std::initializer_list<std::pair<std::string_view, std::string>> fields) {
    std::size_t widest = 0;
    for (const auto& field : fields) {
        widest = std::max(widest, DisplayWidth(field.first));
    }
    std::string text;
    for (const auto& [name, value] : fields) {
        text.append("  ").append(name).append(widest + 1 - DisplayWidth(name), ' ').append(value).append("\n");
    }
    return text;
}

}  // namespace

json DiscJson(const DiscRow& disc) {
    return json{
        {"id", disc.id},
        {"name", disc.name},
        {"issue", disc.issue},
        {"year", disc.year},
        {"label", disc.label},
        {"library", disc.claimed() ? json(disc.plugin) : json(nullptr)},
        {"source", disc.source},
        {"programs", disc.programs},
        {"files", disc.files},
        {"result", disc.claimed() ? json(disc.result) : json(nullptr)},
        {"registeredAt", disc.registeredAt},
        {"record", disc.record.empty() ? json(nullptr) : json(RecordHex(disc.record))},
    };
}

namespace {

// How a disc is named beside its number: its name and issue, or its label when no library named it.
std::string DiscTitle(const std::string& name, int issue, int year, const std::string& label) {
    if (name.empty()) {
        return label.empty() ? "(no name)" : "[" + label + "]";
    }
    return name + " (" + std::to_string(issue) + "/" + std::to_string(year) + ")";
}

std::string DiscTitle(const DiscRow& disc) { return DiscTitle(disc.name, disc.issue, disc.year, disc.label); }

std::string LibraryText(const DiscRow& disc) { return disc.claimed() ? disc.plugin : "-"; }

// A time as the disc records it, in UTC: "2004-05-17 12:30".
std::string TimeText(const std::optional<int64_t>& seconds) {
    if (!seconds) {
        return "";
    }
    const std::time_t time = static_cast<std::time_t>(*seconds);
    std::tm parts{};
    if (::gmtime_r(&time, &parts) == nullptr) {
        return "";
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

std::string IsoTime(const std::optional<int64_t>& seconds) {
    std::string text = TimeText(seconds);
    if (!text.empty()) {
        text[10] = 'T';
        text += ":00Z";
        const std::time_t time = static_cast<std::time_t>(*seconds);
        std::tm parts{};
        ::gmtime_r(&time, &parts);
        char precise[32];
        std::strftime(precise, sizeof precise, "%Y-%m-%dT%H:%M:%SZ", &parts);
        text = precise;
    }
    return text;
}

}  // namespace

json FileJson(const FileRow& file) {
    return json{
        {"disc", file.disc},
        {"path", file.path},
        {"name", NameToUtf8(file.name)},
        {"directory", file.directory},
        {"size", file.size},
        {"modified", file.modified ? json(IsoTime(file.modified)) : json(nullptr)},
        {"hidden", file.hidden},
        {"system", file.system},
    };
}

namespace {

std::string AttributeText(const FileRow& file) {
    std::string text;
    text += file.directory ? 'D' : '-';
    text += file.hidden ? 'H' : '-';
    text += file.system ? 'S' : '-';
    return text;
}

}  // namespace

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

namespace {

// A CSV field, always valid UTF-8: a NUL byte and each byte that is not UTF-8 (a path named in
// another code page) become U+FFFD, as in the JSON; so does every other control character but the
// tabs and line breaks of a text, so that a CSV printed on a terminal cannot steer it. A text that
// a spreadsheet would take for a formula (it begins with =, +, -, @, TAB or CR) gets a leading
// apostrophe, which spreadsheets take as "text" and do not show. Quoted when it holds the
// separator, a quote or a line break, with quotes doubled.
std::string CsvField(const std::string& cell, char separator) {
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
    if (text.find_first_of(std::string{separator} + "\"\r\n") == std::string::npos) {
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

void CsvLine(std::ostream& out, const std::vector<std::string>& fields, char separator) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += separator;
        }
        line += CsvField(fields[i], separator);
    }
    out << line << "\r\n";
}

DiscRow RequireDisc(Catalogue& catalogue, uint16_t id) {
    std::optional<DiscRow> disc = catalogue.Disc(id);
    if (!disc) {
        throw HostError(kExitDataError, Say("no disc {1} in {2}", id, catalogue.file().string()));
    }
    return *disc;
}

TextTable ProgramTable(bool withDisc) {
    std::vector<std::string> headers;
    if (withDisc) {
        headers = {Tr("Disc"), "#", Tr("Program"), Tr("Version"), Tr("Licence"), Tr("Description")};
        TextTable table(headers);
        table.LimitWidth(0, kNameWidth);
        table.AlignRight(1);
        table.LimitWidth(2, kNameWidth);
        table.LimitWidth(3, 16);
        table.LimitWidth(5, kDescriptionWidth);
        table.Shrinkable(5);
        table.Shrinkable(2);
        table.Shrinkable(0);
        return table;
    } else {
        headers = {"#", Tr("Program"), Tr("Version"), Tr("Licence"), Tr("Description")};
    }
    TextTable table(headers);
    table.AlignRight(0);
    table.LimitWidth(1, kNameWidth);
    table.LimitWidth(2, 16);
    table.LimitWidth(4, kDescriptionWidth);
    table.Shrinkable(4);
    table.Shrinkable(1);
    return table;
}

std::vector<std::string> ProgramCells(const ProgramRow& program) {
    return {std::to_string(program.position), program.name, program.version, LicenceName(program.licence),
            program.description};
}

}  // namespace

int RunList(const CatalogueOptions& options, const ListOptions& list) {
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    DiscQuery query;
    query.text = list.text;
    query.year = list.year;
    if (list.library) {
        query.library = *list.library == "none" ? std::string() : *list.library;
    }
    const std::vector<DiscRow> discs = catalogue.FindDiscs(query);
    if (options.json) {
        json found = json::array();
        for (const DiscRow& disc : discs) {
            found.push_back(DiscJson(disc));
        }
        std::cout << JsonText(found, 2) << '\n';
        return 0;
    }
    if (discs.empty()) {
        const bool filtered = !list.text.empty() || list.library || list.year;
        std::cout << Say(filtered ? N_("No disc matches in {1}.") : N_("No discs in {1}."), ForTerminal(catalogue.file().string()))
                  << '\n';
        return 0;
    }
    TextTable table(
        {"ID", Tr("Disc"), Tr("Issue"), Tr("Label"), Tr("Library"), Tr("Programs"), Tr("Files"), Tr("Source")});
    table.AlignRight(0);
    table.AlignRight(5);
    table.AlignRight(6);
    table.LimitWidth(1, kNameWidth);
    table.Shrinkable(7);
    table.Shrinkable(1);
    table.Shrinkable(3);
    for (const DiscRow& disc : discs) {
        table.AddRow({std::to_string(disc.id), disc.name, disc.claimed() ? IssueText(disc.issue, disc.year) : "",
                      disc.label, LibraryText(disc), std::to_string(disc.programs), std::to_string(disc.files),
                      disc.source});
    }
    std::cout << table.Render(TerminalColumns());
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
    std::cout << Say("Disc {1}: {2}", disc.id, ForTerminal(disc.name.empty() ? DiscTitle(disc) : disc.name)) << '\n'
              << AlignedFields({
                     {Tr("Issue:"), IssueText(disc.issue, disc.year)},
                     {Tr("Label:"), ForTerminal(disc.label)},
                     {Tr("Library:"), disc.claimed() ? Say("{1} (result {2})", ForTerminal(disc.plugin), disc.result)
                                                     : std::string(Tr("none claimed the disc"))},
                     {Tr("Source:"), ForTerminal(disc.source)},
                     {Tr("Registered:"), ForTerminal(disc.registeredAt)},
                     {Tr("Record:"), RecordHex(disc.record)},
                     {Tr("Programs:"), std::to_string(programs.size())},
                     {Tr("Files:"), Say("{1} (wertowik files {2})", disc.files, disc.id)},
                 });
    if (!programs.empty()) {
        TextTable table = ProgramTable(false);
        for (const ProgramRow& program : programs) {
            table.AddRow(ProgramCells(program));
        }
        std::cout << '\n' << table.Render(TerminalColumns());
    }
    return 0;
}

namespace {

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

}  // namespace

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
            cells.insert(cells.begin(), std::to_string(hit.program.disc) + " " +
                                            DiscTitle(hit.discName, hit.issue, hit.year, ""));
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
            table.AddRow({std::to_string(hit.file.disc) + " " +
                              DiscTitle(hit.discName, hit.issue, hit.year, hit.discLabel),
                          hit.file.path + (hit.file.directory ? "/" : ""),
                          hit.file.directory ? "" : std::to_string(hit.file.size), TimeText(hit.file.modified)});
        }
        std::cout << table.Render(width);
        PrintCount(SayCount("{1} file", "{1} files", files.size()), moreFiles);
    }
    return 0;
}

int RunFiles(const CatalogueOptions& options, const std::string& idText, const std::string& path) {
    const uint16_t id = ParseDiscId(idText);
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    const DiscRow disc = RequireDisc(catalogue, id);
    const std::vector<FileRow> files = catalogue.Files(id);
    // PATH in either kind of slash, its names compared without regard to letter case.
    std::string wanted = path;
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    while (!wanted.empty() && wanted.back() == '/') {
        wanted.pop_back();
    }
    while (!wanted.empty() && wanted.front() == '/') {
        wanted.erase(wanted.begin());
    }
    const std::string folded = LowerCaseUtf8(wanted);
    std::vector<const FileRow*> shown;
    bool found = wanted.empty();
    for (const FileRow& file : files) {
        const std::string filePath = LowerCaseUtf8(file.path);
        if (filePath == folded) {
            found = true;
            if (!file.directory) {
                shown.push_back(&file);
            }
        } else if (wanted.empty() || (filePath.size() > folded.size() && filePath.compare(0, folded.size(), folded) == 0 &&
                                      filePath[folded.size()] == '/')) {
            shown.push_back(&file);
        }
    }
    if (!found) {
        throw HostError(kExitDataError, Say("disc {1} holds no {2}", id, path));
    }
    if (options.json) {
        json list = json::array();
        for (const FileRow* file : shown) {
            list.push_back(FileJson(*file));
        }
        std::cout << JsonText(json{{"disc", id}, {"path", wanted}, {"files", list}}, 2) << '\n';
        return 0;
    }
    if (shown.empty()) {
        std::cout << Say(files.empty() ? N_("No files catalogued for disc {1}.") : N_("Nothing below that folder of disc {1}."), id)
                  << '\n';
        return 0;
    }
    TextTable table({Tr("Path"), Tr("Size"), Tr("Modified"), Tr("Attr")});
    table.AlignRight(1);
    table.Shrinkable(0);
    int64_t bytes = 0;
    for (const FileRow* file : shown) {
        table.AddRow({file->path + (file->directory ? "/" : ""), file->directory ? "" : std::to_string(file->size),
                      TimeText(file->modified), AttributeText(*file)});
        bytes += file->size;
    }
    std::cout << Say("Disc {1}: {2}", id, ForTerminal(DiscTitle(disc))) << '\n' << table.Render(TerminalColumns())
              << SayCount("{1} file or folder, ", "{1} files and folders, ", shown.size())
              << SayCount("{1} byte.", "{1} bytes.", bytes) << '\n';
    return 0;
}

void WriteExportHead(std::ostream& out, const Catalogue& catalogue, const ExportOptions& options) {
    if (options.format == "json") {
        out << "{\"catalogue\":" << JsonText(json(catalogue.file().string())) << ",\"discs\":[";
        return;
    }
    // One row per program; a disc without programs still gets one row, with the program columns empty.
    // For a spreadsheet set to Polish, whose list separator is the semicolon and which takes a
    // file without a byte-order mark for the Windows code page.
    if (options.excel) {
        out << "\xEF\xBB\xBF";
    }
    CsvLine(out, {"disc_id", "disc_name", "issue", "year", "label", "library", "source", "position", "licence",
             "licence_name", "name", "version", "description"}, options.excel ? ';' : ',');
}

void WriteExportDisc(std::ostream& out, const ExportOptions& options, const DiscRow& disc,
                     const std::vector<ProgramRow>& programs, bool first) {
    if (options.format == "json") {
        json shown = DiscJson(disc);
        shown["entries"] = json::array();
        for (const ProgramRow& program : programs) {
            shown["entries"].push_back(ProgramJson(program));
        }
        out << (first ? "\n" : ",\n") << JsonText(shown);
        return;
    }
    const char separator = options.excel ? ';' : ',';
    const std::vector<std::string> head{std::to_string(disc.id), disc.name,   std::to_string(disc.issue),
                                        std::to_string(disc.year), disc.label, disc.plugin, disc.source};
    if (programs.empty()) {
        std::vector<std::string> row = head;
        row.resize(head.size() + 6);
        CsvLine(out, row, separator);
    }
    for (const ProgramRow& program : programs) {
        std::vector<std::string> row = head;
        row.insert(row.end(), {std::to_string(program.position), std::to_string(program.licence),
                               LicenceName(program.licence), program.name, program.version, program.description});
        CsvLine(out, row, separator);
    }
}

void WriteExportTail(std::ostream& out, const ExportOptions& options) {
    if (options.format == "json") {
        out << "\n]}\n";
    }
}

void WriteExport(std::ostream& out, Catalogue& catalogue, const ExportOptions& options,
                 const ExportSelection* selection) {
    // Written disc by disc, so that a large catalogue is never held whole as one JSON value.
    const std::vector<DiscRow> discs = selection != nullptr ? selection->discs : catalogue.Discs();
    WriteExportHead(out, catalogue, options);
    for (std::size_t i = 0; i < discs.size(); ++i) {
        if (selection == nullptr) {
            WriteExportDisc(out, options, discs[i], catalogue.Programs(discs[i].id), i == 0);
            continue;
        }
        const auto found = selection->programs.find(discs[i].id);
        WriteExportDisc(out, options, discs[i], found != selection->programs.end() ? found->second
                                                                                   : std::vector<ProgramRow>{},
                        i == 0);
    }
    WriteExportTail(out, options);
}

int RunExport(const CatalogueOptions& options, const ExportOptions& exportOptions) {
    if (exportOptions.format != "json" && exportOptions.format != "csv") {
        throw HostError(kExitUsage, Say("export --format takes json or csv, not \"{1}\"", exportOptions.format));
    }
    if (exportOptions.excel && exportOptions.format != "csv") {
        throw HostError(kExitUsage, Tr("export --excel goes with --format csv"));
    }
    Catalogue catalogue = Catalogue::Open(FileOf(options), Catalogue::Access::Read);
    const sqlite::Transaction snapshot = catalogue.ConsistentReads();
    if (!exportOptions.output) {
        WriteExport(std::cout, catalogue, exportOptions);
        return 0;
    }
    PendingFile file(*exportOptions.output, PendingFile::Target::WriteIntoWhatIsNoFile);
    WriteExport(file.stream(), catalogue, exportOptions);
    file.Commit();
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
        throw HostError(kExitDataError, Say("no disc {1} in {2}", id, catalogue.file().string()));
    }
    NoteCatalogueChanged();
    if (options.json) {
        std::cout << JsonText(json{{"removed", id}, {"name", disc.name}, {"programs", disc.programs}}, 2) << '\n';
    } else {
        std::cout << SayCount("Removed disc {2} ({3}, {1} program).", "Removed disc {2} ({3}, {1} programs).", disc.programs, id,
                             ForTerminal(disc.name))
                  << '\n';
    }
    return 0;
}

}  // namespace wertowik
