// Thin owners of SQLite's connection and statement handles, and a transaction that rolls back
// unless committed. Every failing call is turned into an SqliteError carrying SQLite's code.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wertowik::sqlite {

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    // The extended result code; code() & 0xFF is the primary one.
    int code() const { return code_; }
    int primary() const { return code_ & 0xFF; }

private:
    int code_;
};

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

// Opens a connection with extended result codes; throws SqliteError when it cannot.
Connection OpenConnection(const std::string& file, int flags);

// Runs one or more statements that return no rows.
void Execute(sqlite3* db, const char* sql);

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&&) = default;
    Statement& operator=(Statement&&) = default;

    // Parameters are numbered from 1.
    Statement& Bind(int index, int64_t value);
    Statement& BindText(int index, std::string_view text);
    Statement& BindBlob(int index, std::string_view bytes);
    Statement& BindNull(int index);
    // Bound where they lie, not copied: the bytes must stay until the statement has run (Run,
    // or Reset after the last Step). NULL for nothing.
    Statement& BindTextInPlace(int index, std::string_view text);
    Statement& BindBlobInPlace(int index, const std::optional<std::string_view>& bytes);
    template <typename T>
    Statement& Bind(int index, const std::optional<T>& value) {
        return value ? Bind(index, static_cast<int64_t>(*value)) : BindNull(index);
    }

private:
    // The text or bytes, copied by SQLite (SQLITE_TRANSIENT) or bound where they lie (SQLITE_STATIC).
    Statement& BindText(int index, std::string_view text, sqlite3_destructor_type keep);
    Statement& BindBlob(int index, std::string_view bytes, sqlite3_destructor_type keep);
    // Throws SQLite's error unless status is SQLITE_OK.
    Statement& Checked(int status);

public:
    // True while there is a row to read; false when the statement is done.
    bool Step();
    // Steps a statement that returns no rows.
    void Run();
    // Ready to run again with new parameters.
    void Reset();

    int64_t Int(int column) const;
    std::string Text(int column) const;  // also a blob's bytes
    bool IsNull(int column) const;

private:
    sqlite3* db_;
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
};

// A transaction, rolled back unless committed. One for writing begins IMMEDIATE: the write lock is
// taken at once, so that a busy catalogue waits in the busy handler here rather than failing
// half-way. One for reading is deferred: the reads made while it lives see the database as it was
// at the first of them, whatever other connections write meanwhile.
class Transaction {
public:
    enum class Kind { Write, Read };
    explicit Transaction(sqlite3* db, Kind kind = Kind::Write);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void Commit();

private:
    sqlite3* db_;
    bool open_ = true;
};

}  // namespace wertowik::sqlite
