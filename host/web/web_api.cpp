#include "host/web/web_api.h"

#include <charconv>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "host/base/errors.h"
#include "host/catalogue/names.h"
#include "host/catalogue/word_query.h"
#include "host/report/catalogue_json.h"
#include "host/report/export.h"
#include "host/report/json_report.h"
#include "host/web/disc_content.h"

namespace wertowik::web {

namespace {

using nlohmann::json;

std::optional<std::string> Parameter(const Parameters& parameters, const char* name) {
    const auto found = parameters.find(name);
    if (found == parameters.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second;
}

// A number of the query; a usage error when it is not one.
int64_t Number(const std::string& text, const char* what) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        throw HostError(kExitUsage, std::string(what) + " takes a number, not \"" + text + "\"");
    }
    return value;
}

std::optional<std::string> Library(const Parameters& parameters) {
    std::optional<std::string> library = Parameter(parameters, "library");
    if (library && *library == "none") {
        return std::string();  // the discs no library claimed
    }
    return library;
}

std::optional<uint8_t> Licence(const Parameters& parameters) {
    const std::optional<std::string> text = Parameter(parameters, "licence");
    if (!text) {
        return std::nullopt;
    }
    const std::optional<uint8_t> licence = ParseLicence(*text);
    if (!licence) {
        throw HostError(kExitUsage, "no licence \"" + *text + "\"");
    }
    return licence;
}

std::optional<uint16_t> DiscOf(const Parameters& parameters) {
    const std::optional<std::string> text = Parameter(parameters, "disc");
    return text ? std::optional<uint16_t>(ParseDiscId(*text)) : std::nullopt;
}

Reply JsonReply(const json& value) {
    Reply reply;
    reply.body = JsonText(value);
    return reply;
}

// The page asked for of results found up to its end and one more: that page, and whether there are more.
template <typename T>
json PageOf(std::vector<T>& found, std::size_t page, bool& more, const auto& toJson) {
    more = found.size() > (page + 1) * kPageSize;
    json items = json::array();
    for (std::size_t i = page * kPageSize; i < found.size() && i < (page + 1) * kPageSize; ++i) {
        items.push_back(toJson(found[i]));
    }
    return items;
}

template <typename Hit>
json WithDisc(json item, const Hit& hit) {
    item["discName"] = hit.discName;
    item["issue"] = hit.issue;
    item["year"] = hit.year;
    return item;
}

json FileWithId(const FileRow& file) {
    json item = FileJson(file);
    item["id"] = file.id;
    return item;
}

std::vector<SearchHit> FindPrograms(Catalogue& catalogue, const std::string& text, const Parameters& parameters,
                                    std::size_t limit) {
    return catalogue.Search(SearchQuery{text, Licence(parameters), DiscOf(parameters), limit, Library(parameters)});
}

}  // namespace

Reply ErrorReply(int status, const std::string& message) {
    Reply reply = JsonReply(json{{"error", message}});
    reply.status = status;
    return reply;
}

Reply ApiDiscs(Catalogue& catalogue, const Parameters& parameters) {
    DiscQuery query;
    query.text = Parameter(parameters, "q").value_or("");
    query.library = Library(parameters);
    if (const auto year = Parameter(parameters, "year")) {
        query.year = static_cast<int>(Number(*year, "year"));
    }
    json discs = json::array();
    for (const DiscRow& disc : catalogue.FindDiscs(query)) {
        discs.push_back(DiscJson(disc));
    }
    return JsonReply(discs);
}

Reply ApiDisc(Catalogue& catalogue, const std::string& id) {
    const std::optional<DiscRow> disc = catalogue.Disc(ParseDiscId(id));
    if (!disc) {
        return ErrorReply(404, "no disc " + id);
    }
    json shown = DiscJson(*disc);
    shown["entries"] = json::array();
    for (const ProgramRow& program : catalogue.Programs(disc->id)) {
        shown["entries"].push_back(ProgramJson(program));
    }
    shown["sourceAvailable"] = SourceAvailable(*disc, catalogue.FolderOf(disc->id));
    return JsonReply(shown);
}

Reply ApiFiles(Catalogue& catalogue, const std::string& id, const Parameters& parameters) {
    const uint16_t disc = ParseDiscId(id);
    const std::optional<std::string> parentText = Parameter(parameters, "parent");
    const int64_t parent = parentText ? Number(*parentText, "parent") : 0;
    if (!catalogue.Disc(disc)) {
        return ErrorReply(404, "no disc " + id);
    }
    json list = json::array();
    for (const FileRow& file : catalogue.Children(disc, parent)) {
        list.push_back(FileWithId(file));
    }
    return JsonReply(json{{"disc", disc}, {"parent", parent}, {"files", list}});
}

Reply ApiSearch(Catalogue& catalogue, const Parameters& parameters) {
    const std::string text = Parameter(parameters, "q").value_or("");
    const std::string only = Parameter(parameters, "only").value_or("");
    if (only != "" && only != "programs" && only != "files") {
        return ErrorReply(400, "only takes programs or files");
    }
    const std::size_t page = static_cast<std::size_t>(Number(Parameter(parameters, "page").value_or("0"), "page"));
    if (page > kLastPage) {
        return ErrorReply(400, "page goes up to " + std::to_string(kLastPage));
    }
    const std::optional<uint8_t> licence = Licence(parameters);
    const std::optional<uint16_t> disc = DiscOf(parameters);
    const std::optional<std::string> library = Library(parameters);
    // As the command: a name pattern looks for files, words everywhere unless only= says.
    const bool pattern = IsPattern(text);
    const bool wantPrograms = only == "programs" || (only.empty() && !pattern);
    const bool wantFiles = (only == "files" || only.empty()) && !licence;
    const bool wantDiscs = only.empty() && !pattern && !disc && !licence && page == 0;
    const std::size_t asked = (page + 1) * kPageSize + 1;

    json discs = json::array();
    if (wantDiscs) {
        for (const DiscRow& row : catalogue.FindDiscs(DiscQuery{text, library, std::nullopt})) {
            discs.push_back(DiscJson(row));
        }
    }
    bool morePrograms = false, moreFiles = false;
    json programs = json::array(), files = json::array();
    if (wantPrograms) {
        std::vector<SearchHit> hits = FindPrograms(catalogue, text, parameters, asked);
        programs = PageOf(hits, page, morePrograms,
                          [](const SearchHit& hit) { return WithDisc(ProgramJson(hit.program), hit); });
    }
    if (wantFiles) {
        std::vector<FileHit> hits = catalogue.SearchFiles(FileQuery{text, disc, asked, library});
        files = PageOf(hits, page, moreFiles, [](const FileHit& hit) { return WithDisc(FileWithId(hit.file), hit); });
    }
    return JsonReply(json{{"query", text},
                          {"page", page},
                          {"discs", discs},
                          {"matches", programs},
                          {"more", morePrograms},
                          {"files", files},
                          {"moreFiles", moreFiles}});
}

std::optional<Reply> ExportFormat(const Parameters& parameters, ExportOptions& options) {
    options.format = Parameter(parameters, "format").value_or("json");
    options.excel = Parameter(parameters, "excel").value_or("0") != "0";
    if (options.format != "json" && options.format != "csv") {
        return ErrorReply(400, "format takes json or csv");
    }
    if (options.excel && options.format != "csv") {
        return ErrorReply(400, "excel goes with format=csv");
    }
    return std::nullopt;
}

Reply ApiExport(Catalogue& catalogue, const Parameters& parameters) {
    ExportOptions options;
    if (std::optional<Reply> wrong = ExportFormat(parameters, options)) {
        return *wrong;
    }
    std::ostringstream out;
    if (const std::optional<std::string> text = Parameter(parameters, "q")) {
        // The programs the search finds, each under its disc, in the export's shapes.
        ExportSelection selection;
        for (SearchHit& hit : FindPrograms(catalogue, *text, parameters, 0)) {
            std::vector<ProgramRow>& programs = selection.programs[hit.program.disc];
            if (programs.empty()) {
                if (std::optional<DiscRow> disc = catalogue.Disc(hit.program.disc)) {
                    selection.discs.push_back(std::move(*disc));
                }
            }
            programs.push_back(std::move(hit.program));
        }
        WriteExport(out, catalogue, options, &selection);
    } else {
        WriteExport(out, catalogue, options);
    }
    Reply reply;
    reply.body = out.str();
    reply.contentType = options.format == "csv" ? "text/csv; charset=utf-8" : "application/json";
    reply.fileName = "wertowik." + options.format;
    return reply;
}

}  // namespace wertowik::web
