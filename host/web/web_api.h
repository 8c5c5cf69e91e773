// The web view's JSON API under /api/: the catalogue read for the pages and for scripts, in the
// shapes the commands' --json writes.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "host/catalogue/catalogue.h"
#include "host/report/export.h"

namespace wertowik::web {

// A request's query parameters, decoded.
using Parameters = std::multimap<std::string, std::string>;

struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::string fileName;  // set: offered as a download of that name
};

// Results a page of the search shows at once.
inline constexpr std::size_t kPageSize = 50;
// The deepest page a search goes to.
inline constexpr std::size_t kLastPage = 200;

// GET /api/discs?q=&library=&year=: the discs, as `wertowik list --json`.
Reply ApiDiscs(Catalogue& catalogue, const Parameters& parameters);
// GET /api/disc/ID: the disc and its programs, as `wertowik show --json`, and whether its source
// is still where it was registered from ("sourceAvailable").
Reply ApiDisc(Catalogue& catalogue, const std::string& id);
// GET /api/disc/ID/files?parent=N: what a folder of the disc holds (0 or none: its root).
Reply ApiFiles(Catalogue& catalogue, const std::string& id, const Parameters& parameters);
// GET /api/search?q=&licence=&library=&disc=&page=&only=programs|files: as `wertowik search
// --json`, a page of kPageSize programs and files at a time.
Reply ApiSearch(Catalogue& catalogue, const Parameters& parameters);
// GET /api/export?format=json|csv[&excel=1][&q=&licence=&library=&disc=]: as `wertowik export`,
// of the whole catalogue or of the programs a search finds.
Reply ApiExport(Catalogue& catalogue, const Parameters& parameters);

// The format of an export from format= and excel=; an error to answer with when they are wrong.
std::optional<Reply> ExportFormat(const Parameters& parameters, ExportOptions& options);

// An error as JSON: {"error": message}.
Reply ErrorReply(int status, const std::string& message);

}  // namespace wertowik::web
