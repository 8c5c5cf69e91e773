// The host's commands, callable from main and from tests.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "contract/records.h"
#include "host/base/errors.h"
#include "host/modules/plugin_module.h"
#include "host/cli/terminal_ui.h"

namespace wertowik {

struct RegisterOptions {
    std::vector<std::string> discs;  // folders or ISO 9660 images
    char drive = 'D';
    std::optional<std::string> label;   // UTF-8 as given
    std::optional<std::string> only;
    std::optional<std::string> record;  // 50 hex digits
    std::optional<int> issue, year;     // put into the record handed over
    QuestionAnswer answer = QuestionAnswer::Ask;
    std::optional<std::filesystem::path> streams;
    bool json = false;
    bool quiet = false;
    bool again = false;  // store a disc that is catalogued already once more
    bool claimedOnly = false;  // store only discs a library claimed
    std::optional<std::filesystem::path> catalogue;
    bool noCatalogue = false;
    std::filesystem::path plugins;
    uint64_t maxFileSize = uint64_t{512} << 20;  // the most a file read whole may hold
};

// Registers each disc in turn; the exit status is the worst of theirs.
int RunRegister(const RegisterOptions& options);
int RunDecode(const std::filesystem::path& discStream, const std::filesystem::path& entryStream, bool json);
int RunPlugins(const std::filesystem::path& folder, bool json);

struct CatalogueOptions {
    std::optional<std::filesystem::path> catalogue;  // default: DefaultCataloguePath()
    bool json = false;
};

struct SearchOptions {
    std::string text;
    std::optional<std::string> licence;  // a licence name or code
    std::optional<std::string> disc;     // a disc identifier
    std::optional<std::string> library;  // a library's name
    bool files = false, programs = false;  // only these
    std::size_t limit = 50;              // 0: every match
};

struct ListOptions {
    std::string text;                    // words of the disc's name, label, library or year
    std::optional<std::string> library;  // "none": the discs no library claimed
    std::optional<int> year;
};

int RunList(const CatalogueOptions& options, const ListOptions& list);
int RunFiles(const CatalogueOptions& options, const std::string& id, const std::string& path);
int RunShow(const CatalogueOptions& options, const std::string& id);
int RunSearch(const CatalogueOptions& options, const SearchOptions& search);
struct ExportOptions {
    std::string format = "json";  // json or csv
    bool excel = false;           // CSV for a Polish spreadsheet: a UTF-8 byte-order mark and semicolons
    std::optional<std::filesystem::path> output;  // default: standard output
};

int RunExport(const CatalogueOptions& options, const ExportOptions& exportOptions);
int RunRemove(const CatalogueOptions& options, const std::string& id);

// Whether this run has committed a change to a catalogue (a disc stored or removed): from then on
// the exit status reports that change, whatever else fails, such as writing the output.
void NoteCatalogueChanged();
bool CatalogueChanged();

// Parses 50 hex digits into the 25-byte record.
wtk::TDiscRecord ParseRecord(const std::string& hex);
// A disc identifier from 1 to 65535, else a usage error.
uint16_t ParseDiscId(const std::string& text);
// The record as 50 hex digits.
std::string RecordHex(std::string_view bytes);

// The libraries to offer a disc to, in order; one that cannot be loaded is reported and skipped,
// and a folder from which none loads is a host error.
std::vector<std::unique_ptr<PluginModule>> LoadModules(const std::filesystem::path& folder,
                                                       const std::optional<std::string>& only);

}  // namespace wertowik
