#include "host/catalogue/schema.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "host/base/cp1250.h"
#include "host/base/display_text.h"
#include "host/base/text_fold.h"
#include "host/catalogue/catalogue.h"
#include "host/catalogue/sqlite.h"

namespace wertowik {

namespace {

constexpr char kFormat1[] = R"sql(
CREATE TABLE discs (
  id INTEGER PRIMARY KEY CHECK (id BETWEEN 1 AND 65535),
  plugin TEXT NOT NULL,
  source TEXT NOT NULL,
  name TEXT NOT NULL,
  name_raw BLOB NOT NULL,
  issue INTEGER NOT NULL,
  year INTEGER NOT NULL,
  label TEXT NOT NULL,
  label_raw BLOB NOT NULL,
  host_data BLOB NOT NULL,
  record BLOB NOT NULL,
  result INTEGER NOT NULL,
  programs INTEGER NOT NULL,
  fingerprint INTEGER NOT NULL,
  registered_at TEXT NOT NULL
);
CREATE INDEX discs_by_fingerprint ON discs (fingerprint);
CREATE TABLE entries (
  id INTEGER PRIMARY KEY,
  disc INTEGER NOT NULL REFERENCES discs (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  licence INTEGER NOT NULL,
  name TEXT NOT NULL,
  version TEXT NOT NULL,
  description TEXT NOT NULL,
  name_raw BLOB NOT NULL,
  version_raw BLOB NOT NULL,
  description_raw BLOB NOT NULL,
  UNIQUE (disc, position)
);
CREATE VIRTUAL TABLE entry_words USING fts5 (
  name, version, description,
  content = '',
  tokenize = "unicode61 remove_diacritics 2"
);
)sql";

// A disc's files: every file and folder, each folder before what it holds. A disc's rows are one
// run of identifiers, from discs.first_file on, so that they need no index of their own.
constexpr char kFormat2[] = R"sql(
ALTER TABLE discs ADD COLUMN files INTEGER NOT NULL DEFAULT 0;
ALTER TABLE discs ADD COLUMN first_file INTEGER;
ALTER TABLE discs ADD COLUMN tree_fingerprint INTEGER;
CREATE TABLE files (
  id INTEGER PRIMARY KEY,
  disc INTEGER NOT NULL,
  parent INTEGER,
  name BLOB NOT NULL,
  size INTEGER NOT NULL,
  modified INTEGER,
  attributes INTEGER NOT NULL
);
CREATE VIRTUAL TABLE file_words USING fts5 (
  name,
  content = '',
  detail = none,
  tokenize = "unicode61 remove_diacritics 2"
);
UPDATE discs SET name = wtk_display(name_raw);
UPDATE entries SET name = wtk_display(name_raw), version = wtk_display(version_raw),
                   description = wtk_display(description_raw);
INSERT INTO entry_words (entry_words) VALUES ('delete-all');
INSERT INTO entry_words (rowid, name, version, description)
  SELECT id, wtk_fold(name), wtk_fold(version), wtk_fold(description) FROM entries;
)sql";

// The entries' Windows-1250 copies may be NULL: such a text is the UTF-8 form converted back (see
// RawText). The entries of a catalogue of an older format are copied over, each copy kept only
// where its text does not give it back. The word indexes gather up to 16 MB of new words in
// memory (instead of 1 MB) before they write them out as a segment of their own: a large disc
// makes fewer segments to merge. Each stored disc leaves a segment of the programs' words; these
// are merged once 16 of a size have gathered (FTS5 automerge; 4 by default), so that every word
// is written over about half as often while a shelf of discs is registered one by one.
constexpr char kFormat3[] = R"sql(
CREATE TABLE entries_3 (
  id INTEGER PRIMARY KEY,
  disc INTEGER NOT NULL REFERENCES discs (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  licence INTEGER NOT NULL,
  name TEXT NOT NULL,
  version TEXT NOT NULL,
  description TEXT NOT NULL,
  name_raw BLOB,
  version_raw BLOB,
  description_raw BLOB,
  UNIQUE (disc, position)
);
INSERT INTO entries_3 (id, disc, position, licence, name, version, description, name_raw, version_raw,
                       description_raw)
  SELECT id, disc, position, licence, name, version, description, wtk_kept_raw(name, name_raw),
         wtk_kept_raw(version, version_raw), wtk_kept_raw(description, description_raw)
  FROM entries ORDER BY id;
DROP TABLE entries;
ALTER TABLE entries_3 RENAME TO entries;
DROP TABLE entry_words;
CREATE VIRTUAL TABLE entry_words USING fts5 (
  name, version, description,
  content = '',
  columnsize = 0,
  tokenize = "unicode61 remove_diacritics 2"
);
INSERT INTO entry_words (entry_words, rank) VALUES ('hashsize', 16777216);
INSERT INTO entry_words (entry_words, rank) VALUES ('automerge', 16);
INSERT INTO entry_words (rowid, name, version, description)
  SELECT id, wtk_fold(name), wtk_fold(version), wtk_fold(description) FROM entries ORDER BY id;
DROP TABLE file_words;
CREATE VIRTUAL TABLE file_words USING fts5 (
  name,
  content = '',
  detail = none,
  columnsize = 0,
  tokenize = "unicode61 remove_diacritics 2"
);
INSERT INTO file_words (file_words, rank) VALUES ('hashsize', 16777216);
INSERT INTO file_words (rowid, name) SELECT id, wtk_fold(wtk_name(name)) FROM files ORDER BY id;
)sql";

// The folder a folder disc was registered from, by its device and inode: the web view serves the
// disc's files only while its path still leads to that very folder.
constexpr char kFormat4[] = R"sql(
CREATE TABLE disc_folders (
  disc INTEGER PRIMARY KEY REFERENCES discs (id) ON DELETE CASCADE,
  device INTEGER NOT NULL,
  inode INTEGER NOT NULL
);
)sql";

std::string_view ArgumentBytes(sqlite3_value* value) {
    const void* bytes = sqlite3_value_blob(value);
    const int size = sqlite3_value_bytes(value);
    return bytes != nullptr ? std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                            : std::string_view();
}

void Result(sqlite3_context* context, const std::string& text) {
    sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// wtk_fold(text): FoldStrokes in SQL, so that rows leave a word index with the very values they
// entered it with.
void FoldFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    const unsigned char* text = sqlite3_value_text(arguments[0]);
    const int size = sqlite3_value_bytes(arguments[0]);
    Result(context, FoldStrokes(text != nullptr ? std::string_view(reinterpret_cast<const char*>(text), size) : ""));
}

void DisplayFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    Result(context, DisplayText(ArgumentBytes(arguments[0])));
}

void NameFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    Result(context, NameToUtf8(ArgumentBytes(arguments[0])));
}

// wtk_kept_raw(text, bytes): the bytes, or NULL when the text converts back to them.
void KeptRawFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    const unsigned char* text = sqlite3_value_text(arguments[0]);
    const std::string_view utf8 =
        text != nullptr ? std::string_view(reinterpret_cast<const char*>(text), sqlite3_value_bytes(arguments[0]))
                        : std::string_view();
    const std::string_view raw = ArgumentBytes(arguments[1]);
    if (sqlite3_value_type(arguments[1]) == SQLITE_NULL || !NeedsRaw(utf8, raw)) {
        sqlite3_result_null(context);
    } else {
        sqlite3_result_blob64(context, raw.data(), raw.size(), SQLITE_TRANSIENT);
    }
}

void Register(sqlite3* db, const char* name, void (*function)(sqlite3_context*, int, sqlite3_value**),
              int arguments = 1) {
    if (sqlite3_create_function_v2(db, name, arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, function, nullptr,
                                   nullptr, nullptr) != SQLITE_OK) {
        throw sqlite::SqliteError(sqlite3_extended_errcode(db), sqlite3_errmsg(db));
    }
}

void SetVersion(sqlite3* db, int64_t version) {
    sqlite::Execute(db, ("PRAGMA user_version = " + std::to_string(version)).c_str());
}

}  // namespace

void RegisterFunctions(sqlite3* db) {
    Register(db, "wtk_fold", &FoldFunction);
    Register(db, "wtk_display", &DisplayFunction);
    Register(db, "wtk_name", &NameFunction);
    Register(db, "wtk_kept_raw", &KeptRawFunction, 2);
}

bool NeedsRaw(std::string_view utf8, std::string_view raw) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return utf8 != raw;  // ASCII is the same bytes in both
    }
    return !ConvertsBackTo(utf8, raw);
}

std::string RawText(std::string_view utf8) { return Utf8ToCp1250(utf8).value_or(std::string()); }

void CreateSchema(sqlite3* db) {
    RegisterFunctions(db);
    sqlite::Execute(db, kFormat1);
    sqlite::Execute(db, ("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    UpgradeSchema(db, 1);
}

void UpgradeSchema(sqlite3* db, int64_t from) {
    if (from < 2) {
        sqlite::Execute(db, kFormat2);
    }
    if (from < 3) {
        sqlite::Execute(db, kFormat3);
    }
    if (from < 4) {
        sqlite::Execute(db, kFormat4);
    }
    SetVersion(db, kSchemaVersion);
}

}  // namespace wertowik
