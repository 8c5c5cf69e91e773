#include "host/catalogue/catalogue.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <array>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>

#include "contract/records.h"
#include "host/base/cp1250.h"
#include "host/base/environment.h"
#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/catalogue/schema.h"
#include "host/catalogue/word_query.h"
#include "host/base/display_text.h"
#include "host/base/text_fold.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

namespace fs = std::filesystem;
using sqlite::SqliteError;
using sqlite::Statement;
using sqlite::Transaction;

namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr int64_t kHighestDiscId = 65535;

// Two processes making the same fresh catalogue can each hold the lock the other one waits for;
// SQLite then answers "busy" at once instead of waiting. Such a step is tried again after a short
// pause, until the busy timeout has passed.
template <typename Step>
auto RetryWhileBusy(Step step) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        try {
            return step();
        } catch (const SqliteError& problem) {
            if (problem.primary() != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}


constexpr char kDiscColumns[] =
    "id, plugin, source, name, name_raw, label, label_raw, issue, year, host_data, record, result, programs, "
    "registered_at, files, first_file";

DiscRow ReadDisc(const Statement& row) {
    DiscRow disc;
    disc.id = static_cast<uint16_t>(row.Int(0));
    disc.plugin = row.Text(1);
    disc.source = row.Text(2);
    disc.name = row.Text(3);
    disc.nameRaw = row.Text(4);
    disc.label = row.Text(5);
    disc.labelRaw = row.Text(6);
    disc.issue = static_cast<int>(row.Int(7));
    disc.year = static_cast<int>(row.Int(8));
    disc.hostData = row.Text(9);
    disc.record = row.Text(10);
    disc.result = static_cast<int>(row.Int(11));
    disc.programs = static_cast<int>(row.Int(12));
    disc.registeredAt = row.Text(13);
    disc.files = static_cast<int>(row.Int(14));
    disc.firstFile = row.IsNull(15) ? 0 : row.Int(15);
    return disc;
}

constexpr char kProgramColumns[] =
    "disc, position, licence, name, version, description, name_raw, version_raw, description_raw";

constexpr char kDiscTaken[] = "SELECT 1 FROM discs WHERE id = ?1";
constexpr char kFirstFreeFile[] = "SELECT coalesce(max(id), 0) + 1 FROM files";
constexpr char kInsertDisc[] =
    "INSERT INTO discs (id, plugin, source, name, name_raw, issue, year, label, label_raw, "
    "host_data, record, result, programs, fingerprint, registered_at, files, first_file, "
    "tree_fingerprint) VALUES "
    "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
    "strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?15, ?16, ?17)";
constexpr char kInsertEntry[] =
    "INSERT INTO entries (disc, position, licence, name, version, description, name_raw, version_raw, "
    "description_raw) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
constexpr char kIndexEntry[] = "INSERT INTO entry_words (rowid, name, version, description) VALUES (?1, ?2, ?3, ?4)";
constexpr char kInsertFile[] =
    "INSERT INTO files (id, disc, parent, name, size, modified, attributes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";
constexpr char kIndexFile[] = "INSERT INTO file_words (rowid, name) VALUES (?1, ?2)";
constexpr char kDuplicateCandidates[] =
    "SELECT id, issue, year, label_raw, host_data, name_raw, programs FROM discs "
    "WHERE fingerprint = ?1 AND plugin = ?2 "
    "AND (tree_fingerprint IS NULL OR ?3 IS NULL OR tree_fingerprint = ?3) ORDER BY id";
constexpr char kDuplicatePrograms[] =
    "SELECT licence, name_raw, version_raw, description_raw, name, version, description "
    "FROM entries WHERE disc = ?1 ORDER BY position";

// Resets a cached statement that is stepped, however the stepping ends: a statement left
// mid-way would keep its read of the catalogue open.
class StepsOf {
public:
    explicit StepsOf(Statement& statement) : statement_(statement) {}
    StepsOf(const StepsOf&) = delete;
    StepsOf& operator=(const StepsOf&) = delete;
    ~StepsOf() { statement_.Reset(); }
    Statement* operator->() const { return &statement_; }
    Statement& operator*() const { return statement_; }

private:
    Statement& statement_;
};

// A program's Windows-1250 bytes: as kept, else (NULL) its UTF-8 text converted back.
std::string RawColumn(const Statement& row, int column, const std::string& utf8) {
    return row.IsNull(column) ? RawText(utf8) : row.Text(column);
}

// What goes into a raw column: the bytes, or nothing when the UTF-8 text gives them back.
std::optional<std::string_view> KeptRaw(const std::string& utf8, std::string_view raw) {
    return NeedsRaw(utf8, raw) ? std::optional<std::string_view>(raw) : std::nullopt;
}

// The text as the word index takes it (FoldStrokes): the text itself when it has no letter with
// a stroke, else its folded form, made in scratch.
std::string_view Folded(const std::string& utf8, std::string& scratch) {
    if (utf8.find_first_of("\xC4\xC5") == std::string::npos) {
        return utf8;
    }
    scratch = FoldStrokes(utf8);
    return scratch;
}

ProgramRow ReadProgram(const Statement& row, int first = 0) {
    ProgramRow program;
    program.disc = static_cast<uint16_t>(row.Int(first));
    program.position = static_cast<int>(row.Int(first + 1));
    program.licence = static_cast<int>(row.Int(first + 2));
    program.name = row.Text(first + 3);
    program.version = row.Text(first + 4);
    program.description = row.Text(first + 5);
    program.nameRaw = RawColumn(row, first + 6, program.name);
    program.versionRaw = RawColumn(row, first + 7, program.version);
    program.descriptionRaw = RawColumn(row, first + 8, program.description);
    return program;
}

// 64-bit FNV-1a: a quick first test for an identical disc, confirmed field by field.
class Fingerprint {
public:
    void Add(std::string_view bytes) {
        AddLength(bytes.size());
        for (unsigned char c : bytes) {
            AddByte(c);
        }
    }
    void AddNumber(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            AddByte(static_cast<unsigned char>(value >> (8 * i)));
        }
    }
    int64_t value() const { return static_cast<int64_t>(hash_); }

private:
    void AddLength(std::size_t size) { AddNumber(size); }
    void AddByte(unsigned char c) {
        hash_ ^= c;
        hash_ *= 0x100000001B3ull;
    }
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

std::string HostDataBytes(const wtk::TDiscRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.HostData), sizeof record.HostData);
}

int64_t FingerprintOf(const std::string& plugin, const DecodedDisc& disc,
                      const std::vector<DecodedEntry>& entries) {
    Fingerprint print;
    print.Add(plugin);
    print.AddNumber(disc.record.Issue);
    print.AddNumber(disc.record.Year);
    print.Add(LabelText(disc.record));
    print.Add(HostDataBytes(disc.record));
    print.Add(disc.name);
    print.AddNumber(entries.size());
    for (const DecodedEntry& entry : entries) {
        print.AddNumber(entry.header.LicenceKind);
        print.Add(entry.name);
        print.Add(entry.version);
        print.Add(entry.description);
    }
    return print.value();
}

// The disc record's bytes with another DiscId.
std::string WithDiscId(std::string record, uint16_t id) {
    record[0] = static_cast<char>(id & 0xFF);
    record[1] = static_cast<char>(id >> 8);
    return record;
}

bool HasWriteBits(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return true;  // let SQLite say what is wrong
    }
    // Honoured also for root, who could write anyway: a file made read-only is meant to stay so.
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(file.c_str(), W_OK) == 0;
}

// What a file that is neither a plain file nor a folder is, for a message.
const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return N_("a pipe");
    if (S_ISSOCK(mode)) return N_("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return N_("a device");
    return N_("no plain file");
}

// Whether this process could change the catalogue: write to the file and make files beside it.
bool CanChange(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    return HasWriteBits(file) && ::access(folder.c_str(), W_OK) == 0;
}

// Whether a write-ahead log with changes not yet in the file itself lies beside the catalogue.
bool HasChangeLog(const fs::path& file) {
    struct stat info {};
    return ::stat((file.string() + "-wal").c_str(), &info) == 0 && info.st_size > 0;
}

// A path SQLite takes as a file name: ":memory:" and other names it would read as more than that
// are given as paths relative to the working folder.
std::string SqlitePath(const fs::path& file) {
    const std::string text = file.string();
    return !text.empty() && text[0] == ':' ? "./" + text : text;
}

// The file as an SQLite URI that opens it read-only and immutable: no locks, no side files.
std::string ImmutableUri(const fs::path& file) {
    static const char digits[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : SqlitePath(file)) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 0x0F];
        }
    }
    return uri + "?immutable=1";
}

// Makes a new catalogue: whole under a name of its own beside the file, then given the file's
// name in one step (unless another process made it meanwhile, whose catalogue is then used). A
// failure, a full disk for one, leaves nothing behind: no file, no empty catalogue, and none of the
// folders made for it.
void CreateCatalogueFile(const fs::path& file) {
    std::error_code error;
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::vector<fs::path> made;  // the folders made here, the innermost first
    for (fs::path missing = folder; !missing.empty() && !fs::exists(missing, error); missing = missing.parent_path()) {
        made.push_back(missing);
        if (missing == missing.parent_path()) {
            break;
        }
    }
    fs::create_directories(folder, error);
    if (error) {
        throw HostError(kExitCantCreate, Say("cannot create the folder {1}: {2}", folder.string(), error.message()));
    }
    const fs::path building = folder / (".wertowik-new-" + std::to_string(::getpid()));
    const auto removeBuilding = [&building] {
        for (const char* side : {"", "-journal", "-wal", "-shm"}) {
            ::unlink((building.string() + side).c_str());
        }
    };
    const auto removeMade = [&made] {
        for (const fs::path& empty : made) {
            ::rmdir(empty.c_str());  // only while empty: another process may have put its own into it
        }
    };
    removeBuilding();  // a leftover of a process of this number that was killed
    try {
        sqlite::Connection db = sqlite::OpenConnection(
            building.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE | SQLITE_OPEN_NOMUTEX);
        {
            Transaction create(db.get());
            CreateSchema(db.get());
            create.Commit();
        }
        sqlite::Execute(db.get(), "PRAGMA journal_mode = WAL");
        if (sqlite3_close(db.release()) != SQLITE_OK) {
            throw SqliteError(SQLITE_IOERR, "cannot close the new catalogue");
        }
    } catch (const SqliteError& problem) {
        removeBuilding();
        removeMade();
        if (problem.primary() == SQLITE_FULL) {
            throw HostError(kExitIoError, Say("cannot create catalogue {1}: the disk is full", file.string()));
        }
        throw HostError(problem.primary() == SQLITE_IOERR ? kExitIoError : kExitCantCreate,
                        Say("cannot create catalogue {1}: {2}", file.string(), problem.what()));
    }
    const bool linked = ::link(building.c_str(), file.c_str()) == 0;
    const int linkError = errno;
    if (!linked && linkError != EEXIST && (linkError == EPERM || linkError == ENOTSUP || linkError == EOPNOTSUPP)) {
        // A file system without hard links: renamed, unless the name was taken meanwhile.
        struct stat taken {};
        if (::stat(file.c_str(), &taken) != 0 && ::rename(building.c_str(), file.c_str()) == 0) {
            return;
        }
    }
    removeBuilding();
    if (!linked && linkError != EEXIST) {
        removeMade();
        throw HostError(kExitCantCreate, Say("cannot create catalogue {1}: {2}", file.string(), std::strerror(linkError)));
    }
}

}  // namespace

fs::path DefaultCataloguePath() {
    const fs::path tail = fs::path("wertowik") / "catalogue.sqlite";
    if (const auto data = Environment("XDG_DATA_HOME"); data && fs::path(*data).is_absolute()) {
        return fs::path(*data) / tail;
    }
    std::optional<std::string> home = Environment("HOME");
    if (!home) {
        if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
            home = user->pw_dir;
        }
    }
    if (!home) {
        throw HostError(kExitUsage, Tr("no home folder for the catalogue; give --catalogue FILE"));
    }
    return fs::path(*home) / ".local" / "share" / tail;
}

Catalogue Catalogue::Open(const fs::path& file, Access access) {
    if (file.empty()) {
        throw HostError(kExitUsage, Tr("--catalogue needs a file name"));
    }
    struct stat info {};
    const bool exists = ::stat(file.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {  // a loop of links, a file where a folder should be: not "nothing catalogued yet"
        throw HostError(kExitNoInput, Say("cannot reach catalogue {1}: {2}", file.string(), std::strerror(errno)));
    }
    if (exists && S_ISDIR(info.st_mode)) {
        throw HostError(kExitDataError, Say("catalogue {1} is a folder, not a file", file.string()));
    }
    // Opening a pipe waits for a writer, a device is no catalogue: neither is opened.
    if (exists && !S_ISREG(info.st_mode)) {
        throw HostError(kExitNoInput, Say("catalogue {1} is {2}, not a file", file.string(), Tr(KindOf(info.st_mode))));
    }
    if (access == Access::Read && !exists) {
        // Nothing catalogued yet; reading creates nothing.
        Catalogue empty(file, sqlite::OpenConnection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
        empty.Prepare(Access::Write, true);
        return empty;
    }
    if (access == Access::Write) {
        if (exists && !HasWriteBits(file)) {
            throw HostError(kExitNoPermission, Say("catalogue {1} is read-only", file.string()));
        }
        // Writing needs the log files beside the catalogue: a folder that cannot take them makes it read-only.
        if (exists && !CanChange(file)) {
            throw HostError(kExitNoPermission,
                            Say("catalogue {1} is read-only: no files can be made in its folder", file.string()));
        }
        if (!exists) {
            CreateCatalogueFile(file);
        }
    }
    // Read: a catalogue this process cannot change, that has no log of changes beside it, is read as
    // it stands, without locks and without the shared-memory file a reader would otherwise make
    // (which cannot be made on a read-only disk or folder, and made beside a read-only file would
    // be read-only too and keep its owner from writing the catalogue later).
    const bool asItStands = access == Access::Read && !CanChange(file) && !HasChangeLog(file);
    const std::string target = asItStands ? ImmutableUri(file) : SqlitePath(file);
    int flags = access == Access::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    flags |= SQLITE_OPEN_NOMUTEX | (asItStands ? SQLITE_OPEN_URI : 0);
    Catalogue catalogue(file, sqlite::Connection());
    try {
        catalogue.db_ = sqlite::OpenConnection(target, flags);
        if (access == Access::Write && sqlite3_db_readonly(catalogue.db_.get(), "main") == 1) {
            throw HostError(kExitNoPermission, Say("catalogue {1} is read-only", file.string()));
        }
        catalogue.Prepare(access, false);
    } catch (const SqliteError& problem) {
        // A reader that could not make the files a shared read needs (a folder or file system that
        // refuses them, whatever its permissions say) reads the catalogue as it stands.
        const bool sharedReadFailed = problem.primary() == SQLITE_CANTOPEN || problem.primary() == SQLITE_READONLY;
        if (access != Access::Read || asItStands || !sharedReadFailed || HasChangeLog(file)) {
            catalogue.Fail(problem);
        }
        try {
            catalogue.db_ = sqlite::OpenConnection(ImmutableUri(file),
                                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI);
            catalogue.Prepare(access, false);
        } catch (const SqliteError& again) {
            catalogue.Fail(again);
        }
    }
    return catalogue;
}

void Catalogue::Prepare(Access access, bool fresh) {
    sqlite3* db = db_.get();
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    RegisterFunctions(db);
    if (fresh) {
        CreateSchema(db);
        return;
    }
    const auto value = [db](const char* sql) {
        Statement statement(db, sql);
        statement.Step();
        return statement.Int(0);
    };
    const int64_t application = RetryWhileBusy([&] { return value("PRAGMA application_id"); });
    const int64_t version = value("PRAGMA user_version");
    if (application == 0 && version == 0 && value("SELECT count(*) FROM sqlite_schema") == 0) {
        // An empty file (made by another program, or a catalogue made before catalogues were
        // made whole under another name): an empty catalogue. Only a writer fills it in.
        if (access == Access::Read) {
            db_ = sqlite::OpenConnection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            Prepare(Access::Write, true);
            return;
        }
        RetryWhileBusy([db] { sqlite::Execute(db, "PRAGMA journal_mode = WAL"); });
        Transaction create = RetryWhileBusy([db] { return Transaction(db); });
        if (value("SELECT count(*) FROM sqlite_schema") == 0) {  // another process may have filled it in meanwhile
            CreateSchema(db);
        }
        create.Commit();
        Prepare(access, false);
        return;
    }
    if (application != kApplicationId) {
        throw HostError(kExitDataError, Say("{1} is an SQLite database but not a wertowik catalogue", file_.string()));
    }
    if (version > kSchemaVersion) {
        throw HostError(kExitDataError, Say("catalogue {1} has format {2}, newer than this wertowik reads ({3})", file_.string(),
                                            version, kSchemaVersion));
    }
    if (version < 1) {
        throw HostError(kExitDataError, Say("catalogue {1} is damaged: it has no format number", file_.string()));
    }
    // Format 2 differs from 3 only in what a writer does (it kept every Windows-1250 copy, its word
    // indexes had other settings): a reader reads it as it is, without an upgraded copy in memory.
    constexpr int64_t kReadAsItIs = 2;
    if (version < kSchemaVersion && (access == Access::Write || version < kReadAsItIs)) {
        Upgrade(access, version);
        db = db_.get();
    }
    // Every table the commands use, with every column they use: a catalogue that lacks one is
    // damaged, which is said now rather than as an SQL error half-way through a command.
    for (const std::string& probe :
         {std::string("SELECT ") + kDiscColumns + ", fingerprint FROM discs",
          std::string("SELECT id, ") + kProgramColumns + " FROM entries",
          std::string("SELECT rowid, name, version, description FROM entry_words"),
          std::string("SELECT files, first_file, tree_fingerprint FROM discs"),
          std::string("SELECT id, disc, parent, name, size, modified, attributes FROM files"),
          std::string("SELECT rowid, name FROM file_words")}) {
        try {
            Statement check(db, probe + " LIMIT 0");
        } catch (const SqliteError& problem) {
            if (problem.primary() != SQLITE_ERROR) {
                throw;
            }
            throw HostError(kExitDataError, Say("catalogue {1} is damaged: {2}", file_.string(), problem.what()));
        }
    }
    sqlite::Execute(db, "PRAGMA foreign_keys = ON");
    if (access == Access::Write) {
        // Under WAL a commit then only appends to the log, which reaches the disk at each checkpoint
        // rather than at each commit: a killed process loses nothing it committed (the log is in the
        // system's hands), a power cut may lose the last commits but never damages the file.
        sqlite::Execute(db, "PRAGMA synchronous = NORMAL");
    }
}

// A writer brings the file itself to the current format, in one transaction (so that two
// processes that find it old upgrade it once). A reader leaves the file as it is and reads an
// upgraded copy in memory.
void Catalogue::Upgrade(Access access, int64_t version) {
    sqlite3* db = db_.get();
    if (access == Access::Read) {
        sqlite::Connection copy = sqlite::OpenConnection(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", db, "main");
        if (backup == nullptr) {
            throw SqliteError(sqlite3_extended_errcode(copy.get()), sqlite3_errmsg(copy.get()));
        }
        sqlite3_backup_step(backup, -1);
        if (const int status = sqlite3_backup_finish(backup); status != SQLITE_OK) {
            throw SqliteError(status, sqlite3_errstr(status));
        }
        db_ = std::move(copy);
        db = db_.get();
        RegisterFunctions(db);
    }
    Transaction upgrade = RetryWhileBusy([db] { return Transaction(db); });
    Statement current(db, "PRAGMA user_version");
    current.Step();
    const int64_t found = current.Int(0);
    current.Reset();  // done before the upgrade: a table is not dropped under a running statement
    if (found < kSchemaVersion) {  // another process may have upgraded it meanwhile
        UpgradeSchema(db, found);
    }
    upgrade.Commit();
}

void Catalogue::Fail(const SqliteError& error) const {
    const std::string where = file_.string();
    switch (error.primary()) {
        case SQLITE_NOTADB:
            throw HostError(kExitDataError, Say("{1} is not a wertowik catalogue (not an SQLite database)", file_.string()));
        case SQLITE_CORRUPT:
            throw HostError(kExitDataError, Say("catalogue {1} is damaged: {2}", where, error.what()));
        case SQLITE_READONLY:
            throw HostError(kExitNoPermission, Say("catalogue {1} is read-only", where));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw HostError(kExitBusy, Say("catalogue {1} stayed locked by another process; try again", where));
        case SQLITE_CANTOPEN:
            throw HostError(kExitNoInput, Say("cannot open catalogue {1}: {2}", where, error.what()));
        case SQLITE_FULL:
            throw HostError(kExitIoError, Say("catalogue {1}: the disc is full", where));
        case SQLITE_ERROR:
            // A table, column or index the schema promises is not there: the file was changed by hand.
            if (const std::string_view text = error.what();
                text.find("no such table") != text.npos || text.find("no such column") != text.npos ||
                text.find("no such index") != text.npos || text.find("malformed") != text.npos) {
                throw HostError(kExitDataError, Say("catalogue {1} is damaged: {2}", where, error.what()));
            }
            throw HostError(kExitIoError, Say("catalogue {1}: {2}", where, error.what()));
        default:
            throw HostError(kExitIoError, Say("catalogue {1}: {2}", where, error.what()));
    }
}

uint16_t Catalogue::NextFreeId() {
    try {
        return NextFreeIdLocked();
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

uint16_t Catalogue::NextFreeIdLocked() {
    Statement highest(db_.get(), "SELECT coalesce(max(id), 0) FROM discs");
    highest.Step();
    if (highest.Int(0) < kHighestDiscId) {
        return static_cast<uint16_t>(highest.Int(0) + 1);
    }
    Statement gap(db_.get(),
                  "SELECT CASE WHEN NOT EXISTS (SELECT 1 FROM discs WHERE id = 1) THEN 1 ELSE "
                  "(SELECT d.id + 1 FROM discs d WHERE d.id < 65535 AND "
                  "NOT EXISTS (SELECT 1 FROM discs n WHERE n.id = d.id + 1) ORDER BY d.id LIMIT 1) END");
    gap.Step();
    if (gap.IsNull(0)) {
        throw HostError(kExitCantCreate, Say("catalogue {1} is full: every disc identifier from 1 to 65535 is in use", file_.string()));
    }
    return static_cast<uint16_t>(gap.Int(0));
}

std::optional<uint16_t> Catalogue::FindDuplicate(const std::string& plugin, const DecodedDisc& disc,
                                                 const std::vector<DecodedEntry>& entries, int64_t fingerprint,
                                                 std::optional<int64_t> treeFingerprint) {
    const wtk::TDiscRecord& fields = disc.record;
    const StepsOf candidates(Cached(kDuplicateCandidates));
    candidates->Bind(1, fingerprint).BindText(2, plugin).Bind(3, treeFingerprint);
    Statement& programs = Cached(kDuplicatePrograms);
    while (candidates->Step()) {
        const bool sameDisc = candidates->Int(1) == fields.Issue && candidates->Int(2) == fields.Year &&
                              candidates->Text(3) == LabelText(fields) && candidates->Text(4) == HostDataBytes(fields) &&
                              candidates->Text(5) == disc.name &&
                              candidates->Int(6) == static_cast<int64_t>(entries.size());
        if (!sameDisc) {
            continue;
        }
        const StepsOf stepping(programs);
        programs.Bind(1, candidates->Int(0));
        bool same = true;
        for (const DecodedEntry& entry : entries) {
            if (!programs.Step() || programs.Int(0) != entry.header.LicenceKind ||
                RawColumn(programs, 1, programs.Text(4)) != entry.name ||
                RawColumn(programs, 2, programs.Text(5)) != entry.version ||
                RawColumn(programs, 3, programs.Text(6)) != entry.description) {
                same = false;
                break;
            }
        }
        if (same) {
            return static_cast<uint16_t>(candidates->Int(0));
        }
    }
    return std::nullopt;
}

namespace {

// What a registration handed back, taken apart: the one disc record and its entries. A disc no
// library claimed stands as a record of its own making: its label, no name, issue and year 0.
struct TakenApart {
    DecodedDisc disc;
    std::vector<DecodedEntry> entries;
    std::string record;  // the 25 bytes as the library wrote them; empty for an unclaimed disc
};

std::optional<std::string> Check(const Submission& submission, TakenApart& decoded, StoreStatus& status) {
    if (submission.plugin.empty()) {
        wtk::TDiscRecord& record = decoded.disc.record;
        record = wtk::TDiscRecord{};
        const std::size_t length = std::min<std::size_t>(submission.label.size(), 14);
        record.Label[0] = static_cast<uint8_t>(length);
        std::copy_n(submission.label.data(), length, record.Label + 1);
        return std::nullopt;
    }
    status = StoreStatus::Malformed;
    if (submission.result != wtk::rrDone && submission.result != wtk::rrNoEntries) {
        status = StoreStatus::Failed;
        return Say("the registration failed (result {1})", submission.result);
    }
    const auto discs = DecodeDiscStream(submission.discStream);
    auto entries = DecodeEntryStream(submission.entryStream);
    if (discs.records.empty() && !discs.truncatedAt) {
        if (!submission.entryStream.empty()) {
            return Tr("the library wrote entries but no disc record");
        }
        status = StoreStatus::NoRecord;
        return Tr("the library wrote no disc record");
    }
    if (discs.truncatedAt) {
        return Say("the disc stream ends inside a record at byte {1}", *discs.truncatedAt);
    }
    if (discs.records.size() != 1) {
        return Say("the disc stream holds {1} disc records, not one", discs.records.size());
    }
    if (entries.truncatedAt) {
        return Say("the entry stream ends inside an entry at byte {1}", *entries.truncatedAt);
    }
    decoded.disc = discs.records.front();
    if (decoded.disc.record.DiscId != submission.discId) {
        return Say("the disc record carries DiscId {1}, not the {2} it was handed", decoded.disc.record.DiscId,
                   submission.discId);
    }
    for (std::size_t i = 0; i < entries.records.size(); ++i) {
        if (entries.records[i].header.DiscId != submission.discId) {
            return Say("entry {1} carries DiscId {2}, not the disc's {3}", i + 1, entries.records[i].header.DiscId,
                       submission.discId);
        }
    }
    decoded.entries = std::move(entries.records);
    decoded.record = std::string(submission.discStream.substr(0, sizeof(wtk::TDiscRecord)));
    return std::nullopt;
}

// File attributes as a Windows search reports them.
constexpr int64_t kAttributeHidden = 0x02;
constexpr int64_t kAttributeSystem = 0x04;
constexpr int64_t kAttributeDirectory = 0x10;

}  // namespace

StoreOutcome Catalogue::Store(const Submission& submission, bool again,
                               const std::function<void(int32_t)>& progress) {
    StoreOutcome outcome;
    TakenApart decoded;
    if (auto problem = Check(submission, decoded, outcome.status)) {
        outcome.reason = std::move(*problem);
        return outcome;
    }
    const DecodedDisc& disc = decoded.disc;
    const std::vector<DecodedEntry>& entries = decoded.entries;
    const int64_t fingerprint = FingerprintOf(submission.plugin, disc, entries);
    const std::optional<int64_t> treeFingerprint =
        submission.tree != nullptr ? std::optional<int64_t>(submission.tree->fingerprint) : std::nullopt;

    try {
        Transaction transaction(db_.get());
        if (!again) {
            if (auto existing = FindDuplicate(submission.plugin, disc, entries, fingerprint, treeFingerprint)) {
                outcome.status = StoreStatus::Duplicate;
                outcome.discId = *existing;
                outcome.reason = Say("already catalogued as disc {1}", *existing);
                return outcome;  // rolled back: nothing was written
            }
        }
        uint16_t id = submission.discId;
        bool taken = false;
        if (id != 0) {
            const StepsOf lookup(Cached(kDiscTaken));
            taken = lookup->Bind(1, id).Step();
        }
        if (id == 0 || taken) {
            id = NextFreeIdLocked();
        }
        const std::size_t files = submission.tree != nullptr ? submission.tree->entries.size() : 0;
        int64_t firstFile = 0;
        {
            const StepsOf firstFree(Cached(kFirstFreeFile));
            firstFree->Step();
            firstFile = firstFree->Int(0);
        }
        Statement& insertDisc = Cached(kInsertDisc);
        const std::string label = LabelText(disc.record);
        insertDisc.Bind(1, id)
            .BindText(2, submission.plugin)
            .BindText(3, submission.source)
            .BindText(4, DisplayText(disc.name))
            .BindBlob(5, disc.name)
            .Bind(6, disc.record.Issue)
            .Bind(7, disc.record.Year)
            .BindText(8, Cp1250ToUtf8(label))
            .BindBlob(9, label)
            .BindBlob(10, HostDataBytes(disc.record))
            .BindBlob(11, decoded.record.empty() ? std::string() : WithDiscId(decoded.record, id))
            .Bind(12, submission.plugin.empty() ? int64_t{kNotClaimed} : int64_t{submission.result})
            .Bind(13, static_cast<int64_t>(entries.size()))
            .Bind(14, fingerprint)
            .Bind(15, static_cast<int64_t>(files))
            .Bind(16, files > 0 ? std::optional<int64_t>(firstFile) : std::nullopt)
            .Bind(17, treeFingerprint)
            .Run();

        const std::size_t total = entries.size() + files;
        std::size_t done = 0;
        const auto report = [&] {
            if (progress && total > 0) {
                progress(static_cast<int32_t>(uint64_t{done} * 100 / total));
            }
        };
        Statement& insertEntry = Cached(kInsertEntry);
        Statement& indexEntry = Cached(kIndexEntry);
        int position = 0;
        for (const DecodedEntry& entry : entries) {
            report();
            const std::string name = DisplayText(entry.name);
            const std::string version = DisplayText(entry.version);
            const std::string description = DisplayText(entry.description);
            // Every text is bound where it lies: each lives until its statement has run.
            insertEntry.Bind(1, id)
                .Bind(2, ++position)
                .Bind(3, entry.header.LicenceKind)
                .BindTextInPlace(4, name)
                .BindTextInPlace(5, version)
                .BindTextInPlace(6, description)
                .BindBlobInPlace(7, KeptRaw(name, entry.name))
                .BindBlobInPlace(8, KeptRaw(version, entry.version))
                .BindBlobInPlace(9, KeptRaw(description, entry.description))
                .Run();
            std::string folded[3];
            indexEntry.Bind(1, sqlite3_last_insert_rowid(db_.get()))
                .BindTextInPlace(2, Folded(name, folded[0]))
                .BindTextInPlace(3, Folded(version, folded[1]))
                .BindTextInPlace(4, Folded(description, folded[2]))
                .Run();
            ++done;
        }
        if (submission.tree != nullptr) {
            Statement& insertFile = Cached(kInsertFile);
            Statement& indexFile = Cached(kIndexFile);
            int64_t fileId = firstFile;
            for (const TreeEntry& file : submission.tree->entries) {
                if (done % 4096 == 0) {
                    report();
                }
                const int64_t attributes = (file.directory ? kAttributeDirectory : 0) |
                                           (file.hidden ? kAttributeHidden : 0) | (file.system ? kAttributeSystem : 0);
                insertFile.Bind(1, fileId)
                    .Bind(2, id)
                    .Bind(3, file.parent >= 0 ? std::optional<int64_t>(firstFile + file.parent) : std::nullopt)
                    .BindBlob(4, file.name)
                    .Bind(5, file.size)
                    .Bind(6, file.modified)
                    .Bind(7, attributes)
                    .Run();
                indexFile.Bind(1, fileId).BindText(2, FoldStrokes(NameToUtf8(file.name))).Run();
                ++fileId;
                ++done;
            }
        }
        transaction.Commit();
        if (progress) {
            progress(100);
        }
        outcome.status = StoreStatus::Stored;
        outcome.discId = id;
        outcome.programs = position;
        outcome.files = static_cast<int>(files);
        return outcome;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

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

bool Catalogue::Remove(uint16_t id) {
    try {
        Transaction transaction(db_.get());
        Statement exists(db_.get(), "SELECT 1 FROM discs WHERE id = ?1");
        if (!exists.Bind(1, id).Step()) {
            return false;
        }
        Statement unindex(db_.get(),
                          "INSERT INTO entry_words (entry_words, rowid, name, version, description) "
                          "SELECT 'delete', id, wtk_fold(name), wtk_fold(version), wtk_fold(description) "
                          "FROM entries WHERE disc = ?1");
        unindex.Bind(1, id).Run();
        Statement unindexFiles(db_.get(),
                               "INSERT INTO file_words (file_words, rowid, name) "
                               "SELECT 'delete', f.id, wtk_fold(wtk_name(f.name)) FROM discs d "
                               "JOIN files f ON f.id BETWEEN d.first_file AND d.first_file + d.files - 1 "
                               "WHERE d.id = ?1");
        unindexFiles.Bind(1, id).Run();
        Statement files(db_.get(),
                        "DELETE FROM files WHERE id BETWEEN (SELECT first_file FROM discs WHERE id = ?1) "
                        "AND (SELECT first_file + files - 1 FROM discs WHERE id = ?1)");
        files.Bind(1, id).Run();
        Statement programs(db_.get(), "DELETE FROM entries WHERE disc = ?1");
        programs.Bind(1, id).Run();
        Statement disc(db_.get(), "DELETE FROM discs WHERE id = ?1");
        disc.Bind(1, id).Run();
        transaction.Commit();
        return true;
    } catch (const SqliteError& problem) {
        Fail(problem);
    }
}

}  // namespace wertowik
