#include "host/catalogue/sqlite.h"

namespace wertowik::sqlite {

namespace {

[[noreturn]] void Fail(sqlite3* db, int code) {
    const int extended = db != nullptr ? sqlite3_extended_errcode(db) : code;
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw SqliteError((extended & 0xFF) == (code & 0xFF) ? extended : code, message);
}

}  // namespace

Connection OpenConnection(const std::string& file, int flags) {
    sqlite3* raw = nullptr;
    const int status = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Connection db(raw);  // closed on every path, also when the open failed
    if (status != SQLITE_OK) {
        Fail(db.get(), status);
    }
    sqlite3_extended_result_codes(db.get(), 1);
    return db;
}

void Execute(sqlite3* db, const char* sql) {
    const int status = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (status != SQLITE_OK) {
        Fail(db, status);
    }
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    sqlite3_stmt* raw = nullptr;
    const int status = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), 0, &raw, nullptr);
    statement_.reset(raw);
    if (status != SQLITE_OK) {
        Fail(db, status);
    }
}

Statement& Statement::Checked(int status) {
    if (status != SQLITE_OK) {
        Fail(db_, status);
    }
    return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
    return Checked(sqlite3_bind_int64(statement_.get(), index, value));
}

Statement& Statement::BindText(int index, std::string_view text, sqlite3_destructor_type keep) {
    return Checked(sqlite3_bind_text64(statement_.get(), index, text.data(), text.size(), keep, SQLITE_UTF8));
}

Statement& Statement::BindBlob(int index, std::string_view bytes, sqlite3_destructor_type keep) {
    // A zero-length blob, not NULL, for an empty text.
    return Checked(bytes.empty() ? sqlite3_bind_zeroblob(statement_.get(), index, 0)
                                 : sqlite3_bind_blob64(statement_.get(), index, bytes.data(), bytes.size(), keep));
}

Statement& Statement::BindText(int index, std::string_view text) { return BindText(index, text, SQLITE_TRANSIENT); }

Statement& Statement::BindBlob(int index, std::string_view bytes) { return BindBlob(index, bytes, SQLITE_TRANSIENT); }

Statement& Statement::BindTextInPlace(int index, std::string_view text) { return BindText(index, text, SQLITE_STATIC); }

Statement& Statement::BindBlobInPlace(int index, const std::optional<std::string_view>& bytes) {
    return bytes ? BindBlob(index, *bytes, SQLITE_STATIC) : BindNull(index);
}

Statement& Statement::BindNull(int index) { return Checked(sqlite3_bind_null(statement_.get(), index)); }

bool Statement::Step() {
    const int status = sqlite3_step(statement_.get());
    if (status == SQLITE_ROW) {
        return true;
    }
    if (status == SQLITE_DONE) {
        return false;
    }
    sqlite3_reset(statement_.get());
    Fail(db_, status);
}

void Statement::Run() {
    while (Step()) {
    }
    Reset();
}

void Statement::Reset() {
    sqlite3_reset(statement_.get());
    sqlite3_clear_bindings(statement_.get());
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_.get(), column); }

std::string Statement::Text(int column) const {
    const void* bytes = sqlite3_column_blob(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return bytes != nullptr ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                            : std::string();
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL; }

Transaction::Transaction(sqlite3* db, Kind kind) : db_(db) {
    Execute(db_, kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (open_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit() {
    Execute(db_, "COMMIT");
    open_ = false;
}

}  // namespace wertowik::sqlite
