#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "contract/records.h"
#include "host/base/cp1250.h"
#include "host/base/display_text.h"
#include "host/base/environment.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/text_fold.h"
#include "host/catalogue/catalogue.h"
#include "host/catalogue/catalogue_rows.h"
#include "host/catalogue/schema.h"
#include "host/catalogue/word_query.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

namespace fs = std::filesystem;
using sqlite::SqliteError;
using sqlite::Statement;
using sqlite::Transaction;

using catalogue_rows::kDiscColumns;
using catalogue_rows::kProgramColumns;
using catalogue_rows::ReadDisc;
using catalogue_rows::ReadProgram;
using catalogue_rows::StepsOf;

Statement& Catalogue::Cached(const char* sql) {
    std::unique_ptr<Statement>& statement = statements_[sql];
    if (!statement) {
        statement = std::make_unique<Statement>(db_.get(), sql);
    }
    return *statement;
}

std::vector<DiscRow> Catalogue::Discs() {
    try {
        Statement rows(db_.get(), std::string("SELECT ") + kDiscColumns + " FROM discs ORDER BY id");
        std::vector<DiscRow> discs;
        while (rows.Step()) {
            discs.push_back(ReadDisc(rows));
        }
        return discs;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::optional<DiscRow> Catalogue::Disc(uint16_t id) {
    try {
        Statement row(db_.get(), std::string("SELECT ") + kDiscColumns + " FROM discs WHERE id = ?1");
        row.Bind(1, id);
        if (!row.Step()) {
            return std::nullopt;
        }
        return ReadDisc(row);
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::optional<FolderIdentity> Catalogue::FolderOf(uint16_t disc) {
    if (format_ < 4) {
        return std::nullopt;  // a catalogue of an older format recorded no folder
    }
    try {
        Statement row(db_.get(), "SELECT device, inode FROM disc_folders WHERE disc = ?1");
        if (!row.Bind(1, disc).Step()) {
            return std::nullopt;
        }
        return FolderIdentity{static_cast<uint64_t>(row.Int(0)), static_cast<uint64_t>(row.Int(1))};
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::vector<ProgramRow> Catalogue::Programs(uint16_t disc) {
    try {
        Statement rows(db_.get(),
                       std::string("SELECT ") + kProgramColumns + " FROM entries WHERE disc = ?1 ORDER BY position");
        rows.Bind(1, disc);
        std::vector<ProgramRow> programs;
        while (rows.Step()) {
            programs.push_back(ReadProgram(rows));
        }
        return programs;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::vector<SearchHit> Catalogue::Search(const SearchQuery& query) {
    const std::string words = MatchExpression(query.text);
    if (words.empty()) {
        throw HostError(kExitUsage, Tr("search needs at least one word of letters or digits"));
    }
    // Ranked in two tiers, each in catalogue order (disc, then place on the disc): programs whose
    // name holds every word, then the others. Rowid order lets the index stop at the limit instead of
    // scoring every match, which keeps a search of a common word in a million programs fast.
    const std::string inName = "{name} : (" + words + ")";
    const std::string tiers[] = {inName, "(" + words + ") NOT " + inName};
    try {
        int64_t first = 0, last = std::numeric_limits<int64_t>::max();
        if (query.disc) {
            // A disc's programs are stored together, in one run of row identifiers.
            Statement range(db_.get(), "SELECT min(id), max(id) FROM entries WHERE disc = ?1");
            range.Bind(1, *query.disc).Step();
            if (range.IsNull(0)) {
                return {};
            }
            first = range.Int(0);
            last = range.Int(1);
        }
        Statement rows(db_.get(),
                       "SELECT e.disc, e.position, e.licence, e.name, e.version, e.description, e.name_raw, "
                       "e.version_raw, e.description_raw, d.name, d.issue, d.year "
                       "FROM entry_words w JOIN entries e ON e.id = w.rowid JOIN discs d ON d.id = e.disc "
                       "WHERE entry_words MATCH ?1 AND w.rowid BETWEEN ?2 AND ?3 AND (?4 IS NULL OR e.licence = ?4) "
                       "AND (?5 IS NULL OR e.disc = ?5) AND (?7 IS NULL OR d.plugin = ?7) ORDER BY w.rowid LIMIT ?6");
        std::vector<SearchHit> hits;
        for (const std::string& tier : tiers) {
            if (query.limit != 0 && hits.size() >= query.limit) {
                break;
            }
            rows.BindText(1, tier).Bind(2, first).Bind(3, last).Bind(4, query.licence).Bind(5, query.disc);
            rows.Bind(6, query.limit == 0 ? int64_t{-1} : static_cast<int64_t>(query.limit - hits.size()));
            if (query.library) {
                rows.BindText(7, *query.library);
            } else {
                rows.BindNull(7);
            }
            while (rows.Step()) {
                SearchHit hit;
                hit.program = ReadProgram(rows);
                hit.discName = rows.Text(9);
                hit.issue = static_cast<int>(rows.Int(10));
                hit.year = static_cast<int>(rows.Int(11));
                hits.push_back(std::move(hit));
            }
            rows.Reset();
        }
        return hits;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

}  // namespace wertowik
