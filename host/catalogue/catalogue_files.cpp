// The catalogue's files and discs, found and listed.
#include <algorithm>
#include <limits>
#include <map>

#include "host/base/display_text.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/base/text_fold.h"
#include "host/catalogue/catalogue.h"
#include "host/catalogue/word_query.h"

namespace wertowik {

using sqlite::SqliteError;
using sqlite::Statement;

namespace {

constexpr int64_t kAttributeHidden = 0x02;
constexpr int64_t kAttributeSystem = 0x04;
constexpr int64_t kAttributeDirectory = 0x10;
constexpr char kFileColumns[] = "f.id, f.disc, f.parent, f.name, f.size, f.modified, f.attributes";

FileRow ReadFile(const Statement& row) {
    FileRow file;
    file.id = row.Int(0);
    file.disc = static_cast<uint16_t>(row.Int(1));
    file.parent = row.IsNull(2) ? 0 : row.Int(2);
    file.name = row.Text(3);
    file.size = row.Int(4);
    if (!row.IsNull(5)) {
        file.modified = row.Int(5);
    }
    const int64_t attributes = row.Int(6);
    file.directory = (attributes & kAttributeDirectory) != 0;
    file.hidden = (attributes & kAttributeHidden) != 0;
    file.system = (attributes & kAttributeSystem) != 0;
    return file;
}

// The words of a disc that a search looks at: its name, label and library, and its year.
std::vector<std::string> DiscWords(const DiscRow& disc) {
    const std::string text =
        FoldForSearch(FoldStrokes(disc.name + " " + disc.label + " " + disc.plugin + " " + std::to_string(disc.year)));
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (IsWordByte(static_cast<unsigned char>(c))) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    return words;
}

bool HoldsEveryWord(const std::vector<std::string>& words, const std::vector<std::string>& wanted) {
    constexpr std::size_t kShortestPrefix = 3;
    return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& want) {
        return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
            return want.size() >= kShortestPrefix ? word.compare(0, want.size(), want) == 0 : word == want;
        });
    });
}

}  // namespace

std::vector<DiscRow> Catalogue::FindDiscs(const DiscQuery& query) {
    DiscRow words;
    words.name = query.text;
    std::vector<std::string> wanted = DiscWords(words);
    wanted.pop_back();  // the year 0 the empty row gave
    std::vector<DiscRow> found;
    for (DiscRow& disc : Discs()) {
        if ((query.library && disc.plugin != *query.library) || (query.year && disc.year != *query.year) ||
            !HoldsEveryWord(DiscWords(disc), wanted)) {
            continue;
        }
        found.push_back(std::move(disc));
    }
    return found;
}

std::vector<FileRow> Catalogue::Files(uint16_t disc) {
    try {
        Statement rows(db_.get(), std::string("SELECT ") + kFileColumns +
                                      " FROM discs d JOIN files f ON f.id BETWEEN d.first_file AND "
                                      "d.first_file + d.files - 1 WHERE d.id = ?1 ORDER BY f.id");
        rows.Bind(1, disc);
        std::vector<FileRow> files;
        std::map<int64_t, std::size_t> byId;
        while (rows.Step()) {
            FileRow file = ReadFile(rows);
            const std::string name = NameToUtf8(file.name);
            const auto parent = byId.find(file.parent);
            file.path = parent != byId.end() ? files[parent->second].path + "/" + name : name;
            byId.emplace(file.id, files.size());
            files.push_back(std::move(file));
        }
        return files;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::vector<FileRow> Catalogue::Children(uint16_t disc, int64_t folder) {
    try {
        Statement range(db_.get(), "SELECT first_file, first_file + files - 1 FROM discs WHERE id = ?1");
        if (!range.Bind(1, disc).Step() || range.IsNull(0)) {
            return {};
        }
        const int64_t first = range.Int(0), last = range.Int(1);
        std::string path;
        if (folder != 0) {
            if (folder < first || folder > last) {
                return {};
            }
            // The folder's own path, from its folders up to the root; it must be a folder.
            Statement up(db_.get(), "SELECT parent, name, attributes FROM files WHERE id = ?1");
            if (!up.Bind(1, folder).Step() || (up.Int(2) & kAttributeDirectory) == 0) {
                return {};
            }
            constexpr int kDeepest = 256;  // a damaged catalogue's folders must not go round for ever
            int depth = 0;
            for (int64_t at = folder; at != 0 && ++depth <= kDeepest;) {
                up.Reset();
                if (!up.Bind(1, at).Step()) {
                    break;
                }
                path = NameToUtf8(up.Text(1)) + (path.empty() ? "" : "/" + path);
                at = up.IsNull(0) ? 0 : up.Int(0);
            }
        }
        // The disc's rows are one run of identifiers: a walk through that run alone.
        Statement rows(db_.get(), std::string("SELECT ") + kFileColumns +
                                      " FROM files f WHERE f.id BETWEEN ?1 AND ?2 AND "
                                      "coalesce(f.parent, 0) = ?3 ORDER BY f.id");
        rows.Bind(1, first).Bind(2, last).Bind(3, folder);
        std::vector<FileRow> files;
        while (rows.Step()) {
            FileRow file = ReadFile(rows);
            file.path = (path.empty() ? "" : path + "/") + NameToUtf8(file.name);
            files.push_back(std::move(file));
        }
        return files;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

std::vector<FileHit> Catalogue::SearchFiles(const FileQuery& query) {
    const bool pattern = IsPattern(query.text);
    const std::string words = pattern ? PatternExpression(query.text) : TermExpression(query.text);
    if (!pattern && words.empty()) {
        throw HostError(kExitUsage,
                        Tr("search needs at least one word of letters or digits, or a pattern with * or ?"));
    }
    const std::string folded = FoldForSearch(FoldStrokes(query.text));
    try {
        int64_t first = 0, last = std::numeric_limits<int64_t>::max();
        if (query.disc) {
            Statement range(db_.get(), "SELECT first_file, first_file + files - 1 FROM discs WHERE id = ?1");
            if (!range.Bind(1, *query.disc).Step() || range.IsNull(0)) {
                return {};
            }
            first = range.Int(0);
            last = range.Int(1);
        }
        // Through the word index where the text gives it words; a pattern without any looks at
        // every name (of the disc, when one is given).
        // The word index gives its rows in identifier order, which lets it stop at the limit, when
        // both the range and the order are put to it rather than to the files table.
        const std::string source = words.empty() ? "files f" : "file_words w JOIN files f ON f.id = w.rowid";
        const std::string where = words.empty() ? "?1 IS NULL" : "file_words MATCH ?1";
        const std::string id = words.empty() ? "f.id" : "w.rowid";
        Statement rows(db_.get(), std::string("SELECT ") + kFileColumns + ", d.name, d.issue, d.year, d.label FROM " +
                                      source + " JOIN discs d ON d.id = f.disc WHERE " + where + " AND " + id +
                                      " BETWEEN ?2 AND ?3 AND (?4 IS NULL OR d.plugin = ?4) ORDER BY " + id);
        if (words.empty()) {
            rows.BindNull(1);
        } else {
            rows.BindText(1, words);
        }
        rows.Bind(2, first).Bind(3, last);
        if (query.library) {
            rows.BindText(4, *query.library);
        } else {
            rows.BindNull(4);
        }
        std::vector<FileHit> hits;
        while ((query.limit == 0 || hits.size() < query.limit) && rows.Step()) {
            FileHit hit;
            hit.file = ReadFile(rows);
            if (pattern && !GlobMatches(folded, FoldForSearch(FoldStrokes(NameToUtf8(hit.file.name))))) {
                continue;
            }
            hit.discName = rows.Text(7);
            hit.issue = static_cast<int>(rows.Int(8));
            hit.year = static_cast<int>(rows.Int(9));
            hit.discLabel = rows.Text(10);
            hits.push_back(std::move(hit));
        }
        rows.Reset();
        // Each hit's path, from its folders up to the root.
        Statement parent(db_.get(), "SELECT parent, name FROM files WHERE id = ?1");
        for (FileHit& hit : hits) {
            std::string path = NameToUtf8(hit.file.name);
            constexpr int kDeepest = 256;  // a damaged catalogue's folders must not go round for ever
            int depth = 0;
            for (int64_t at = hit.file.parent; at != 0 && ++depth <= kDeepest;) {
                if (!parent.Bind(1, at).Step()) {
                    break;
                }
                path = NameToUtf8(parent.Text(1)) + "/" + path;
                at = parent.IsNull(0) ? 0 : parent.Int(0);
                parent.Reset();
            }
            parent.Reset();
            hit.file.path = std::move(path);
        }
        return hits;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

}  // namespace wertowik
