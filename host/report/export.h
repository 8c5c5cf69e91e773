// The catalogue exported as JSON or CSV, by `wertowik export` and by the web view alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/catalogue/catalogue.h"

namespace wertowik {

struct ExportOptions {
    std::string format = "json";  // json or csv
    bool excel = false;           // CSV for a Polish spreadsheet: a UTF-8 byte-order mark and semicolons
    std::optional<std::filesystem::path> output;  // default: standard output
};

// Part of the catalogue to export: these discs, each with these of its programs.
struct ExportSelection {
    std::vector<DiscRow> discs;
    std::map<uint16_t, std::vector<ProgramRow>> programs;
};

// The export as JSON or CSV (options.format): the whole catalogue, or the selection when one is
// given. Reads through the caller's transaction, which keeps the discs and programs in agreement.
void WriteExport(std::ostream& out, Catalogue& catalogue, const ExportOptions& options,
                 const ExportSelection* selection = nullptr);
// The same in three parts, for a writer that sends it a piece at a time: what comes before the
// discs, one disc with its programs (first: the first disc written), and what comes after them.
void WriteExportHead(std::ostream& out, const Catalogue& catalogue, const ExportOptions& options);
void WriteExportDisc(std::ostream& out, const ExportOptions& options, const DiscRow& disc,
                     const std::vector<ProgramRow>& programs, bool first);
void WriteExportTail(std::ostream& out, const ExportOptions& options);

}  // namespace wertowik
