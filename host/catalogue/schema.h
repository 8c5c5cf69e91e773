// The catalogue's tables, how a new catalogue gets them, and how one of an older format is
// brought up to the current one.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace wertowik {

// "WTWK": tells a catalogue from any other SQLite file.
inline constexpr int64_t kApplicationId = 0x5754574B;
// The format this wertowik writes, kept in the file as its user_version. Format 1 had discs,
// entries and their word index; format 2 added every disc's files, their word index and the
// fingerprint of a disc's tree, and shows texts with their HTML entities decoded; format 3 keeps a
// program's Windows-1250 bytes only where its UTF-8 text does not convert back to them (else NULL);
// format 4 records where the folder of a folder disc lay when it was registered (disc_folders).
inline constexpr int64_t kSchemaVersion = 4;

// The SQL functions the tables' statements use: wtk_fold(text), what the word indexes are given
// of a text; wtk_display(bytes), a library's Windows-1250 text as it is shown; wtk_name(bytes), a
// file name as it is shown; wtk_kept_raw(text, bytes), the bytes or NULL as NeedsRaw says.
void RegisterFunctions(sqlite3* db);

// Whether a program's Windows-1250 bytes must be kept beside their UTF-8 text: true unless the
// text converts back to the very same bytes (it does not for entities decoded, for the codes
// Windows-1250 leaves undefined, shown as U+FFFD).
bool NeedsRaw(std::string_view utf8, std::string_view raw);
// The Windows-1250 bytes of a text whose bytes were not kept, as NeedsRaw found them.
std::string RawText(std::string_view utf8);

// Makes the tables of the current format in an empty database, inside the caller's transaction.
void CreateSchema(sqlite3* db);

// Brings a catalogue of an older format to the current one, inside the caller's transaction.
void UpgradeSchema(sqlite3* db, int64_t from);

}  // namespace wertowik
