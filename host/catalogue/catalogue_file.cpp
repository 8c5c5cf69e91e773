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
#include "host/discs/temporary_folder.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

namespace fs = std::filesystem;
using catalogue_rows::kDiscColumns;
using catalogue_rows::kProgramColumns;
using sqlite::SqliteError;
using sqlite::Statement;
using sqlite::Transaction;

namespace {

constexpr int kBusyTimeoutMs = 30000;

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

// A new catalogue is made under this name, the process's number and nothing or a side file's tail
// ("-journal") beside the file it becomes.
constexpr char kBuildingPrefix[] = ".wertowik-new-";

// What processes killed while they made a catalogue in the folder left there.
void RemoveLeftBuildings(const fs::path& file) {
    RemoveLeftByGoneProcesses(file.has_parent_path() ? file.parent_path() : fs::path("."), kBuildingPrefix, false);
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
    const fs::path building = folder / (kBuildingPrefix + std::to_string(::getpid()));
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
    RemoveLeftBuildings(file);
    try {
        sqlite::Connection db =
            sqlite::OpenConnection(building.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                                          SQLITE_OPEN_EXCLUSIVE | SQLITE_OPEN_NOMUTEX);
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
        throw HostError(kExitCantCreate,
                        Say("cannot create catalogue {1}: {2}", file.string(), std::strerror(linkError)));
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
        } else {
            RemoveLeftBuildings(file);
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
        format_ = kSchemaVersion;
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
        throw HostError(kExitDataError, Say("catalogue {1} has format {2}, newer than this wertowik reads ({3})",
                                            file_.string(), version, kSchemaVersion));
    }
    if (version < 1) {
        throw HostError(kExitDataError, Say("catalogue {1} is damaged: it has no format number", file_.string()));
    }
    // Formats 2 and 3 differ from 4 only in what a writer does (format 2 kept every Windows-1250
    // copy, its word indexes had other settings; neither recorded a folder disc's folder): a reader
    // reads them as they are, without an upgraded copy in memory.
    constexpr int64_t kReadAsItIs = 2;
    format_ = version;
    if (version < kSchemaVersion && (access == Access::Write || version < kReadAsItIs)) {
        Upgrade(access);
        db = db_.get();
        format_ = kSchemaVersion;
    }
    // Every table the commands use, with every column they use: a catalogue that lacks one is
    // damaged, which is said now rather than as an SQL error half-way through a command.
    for (const std::string& probe :
         {std::string("SELECT ") + kDiscColumns + ", fingerprint FROM discs",
          std::string("SELECT id, ") + kProgramColumns + " FROM entries",
          std::string("SELECT rowid, name, version, description FROM entry_words"),
          std::string("SELECT files, first_file, tree_fingerprint FROM discs"),
          std::string("SELECT id, disc, parent, name, size, modified, attributes FROM files"),
          std::string("SELECT rowid, name FROM file_words"),
          std::string(format_ >= 4 ? "SELECT disc, device, inode FROM disc_folders" : "SELECT 1")}) {
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
void Catalogue::Upgrade(Access access) {
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
    current.Reset();               // done before the upgrade: a table is not dropped under a running statement
    if (found < kSchemaVersion) {  // another process may have upgraded it meanwhile
        UpgradeSchema(db, found);
    }
    upgrade.Commit();
}

void Catalogue::Fail(const SqliteError& error) const {
    const std::string where = file_.string();
    switch (error.primary()) {
        case SQLITE_NOTADB:
            throw HostError(kExitDataError,
                            Say("{1} is not a wertowik catalogue (not an SQLite database)", file_.string()));
        case SQLITE_CORRUPT: throw HostError(kExitDataError, Say("catalogue {1} is damaged: {2}", where, error.what()));
        case SQLITE_READONLY: throw HostError(kExitNoPermission, Say("catalogue {1} is read-only", where));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw HostError(kExitBusy, Say("catalogue {1} stayed locked by another process; try again", where));
        case SQLITE_CANTOPEN: throw HostError(kExitNoInput, Say("cannot open catalogue {1}: {2}", where, error.what()));
        case SQLITE_FULL: throw HostError(kExitIoError, Say("catalogue {1}: the disc is full", where));
        case SQLITE_ERROR:
            // A table, column or index the schema promises is not there: the file was changed by hand.
            if (const std::string_view text = error.what();
                text.find("no such table") != text.npos || text.find("no such column") != text.npos ||
                text.find("no such index") != text.npos || text.find("malformed") != text.npos) {
                throw HostError(kExitDataError, Say("catalogue {1} is damaged: {2}", where, error.what()));
            }
            throw HostError(kExitIoError, Say("catalogue {1}: {2}", where, error.what()));
        default: throw HostError(kExitIoError, Say("catalogue {1}: {2}", where, error.what()));
    }
}

}  // namespace wertowik
