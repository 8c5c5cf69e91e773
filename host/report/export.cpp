#include "host/report/export.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>

#include "host/catalogue/names.h"
#include "host/report/catalogue_json.h"
#include "host/report/json_report.h"

namespace wertowik {

using nlohmann::json;

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

}  // namespace

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
    CsvLine(out,
            {"disc_id", "disc_name", "issue", "year", "label", "library", "source", "position", "licence",
             "licence_name", "name", "version", "description"},
            options.excel ? ';' : ',');
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
    const std::vector<std::string> head{std::to_string(disc.id),
                                        disc.name,
                                        std::to_string(disc.issue),
                                        std::to_string(disc.year),
                                        disc.label,
                                        disc.plugin,
                                        disc.source};
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
        WriteExportDisc(out, options, discs[i],
                        found != selection->programs.end() ? found->second : std::vector<ProgramRow>{}, i == 0);
    }
    WriteExportTail(out, options);
}

}  // namespace wertowik
