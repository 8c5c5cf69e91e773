// The rows of the catalogue's tables as the catalogue's parts read them: the columns a disc and
// a program are read from, and the statement that is reset however its stepping ends. Used within
// host/catalogue/ alone.
#pragma once

#include <string>

#include "host/catalogue/catalogue.h"
#include "host/catalogue/sqlite.h"

namespace wertowik::catalogue_rows {

inline constexpr char kDiscColumns[] =
    "id, plugin, source, name, name_raw, label, label_raw, issue, year, host_data, record, result, programs, "
    "registered_at, files, first_file";

// A disc read from kDiscColumns.
DiscRow ReadDisc(const sqlite::Statement& row);

inline constexpr char kProgramColumns[] =
    "disc, position, licence, name, version, description, name_raw, version_raw, description_raw";

// A program read from kProgramColumns, starting at column first.
ProgramRow ReadProgram(const sqlite::Statement& row, int first = 0);

// A program's Windows-1250 bytes: as kept, else (NULL) its UTF-8 text converted back.
std::string RawColumn(const sqlite::Statement& row, int column, const std::string& utf8);

// Resets a cached statement that is stepped, however the stepping ends: a statement left
// mid-way would keep its read of the catalogue open.
class StepsOf {
public:
    explicit StepsOf(sqlite::Statement& statement) : statement_(statement) {}
    StepsOf(const StepsOf&) = delete;
    StepsOf& operator=(const StepsOf&) = delete;
    ~StepsOf() { statement_.Reset(); }
    sqlite::Statement* operator->() const { return &statement_; }
    sqlite::Statement& operator*() const { return statement_; }

private:
    sqlite::Statement& statement_;
};

}  // namespace wertowik::catalogue_rows
