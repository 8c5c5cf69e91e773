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

using catalogue_rows::RawColumn;
using catalogue_rows::StepsOf;

namespace {

constexpr int64_t kHighestDiscId = 65535;

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
constexpr char kInsertFolder[] = "INSERT INTO disc_folders (disc, device, inode) VALUES (?1, ?2, ?3)";
constexpr char kDuplicateCandidates[] =
    "SELECT id, issue, year, label_raw, host_data, name_raw, programs FROM discs "
    "WHERE fingerprint = ?1 AND plugin = ?2 "
    "AND (tree_fingerprint IS NULL OR ?3 IS NULL OR tree_fingerprint = ?3) ORDER BY id";
constexpr char kDuplicatePrograms[] =
    "SELECT licence, name_raw, version_raw, description_raw, name, version, description "
    "FROM entries WHERE disc = ?1 ORDER BY position";

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

int64_t FingerprintOf(const std::string& plugin, const DecodedDisc& disc, const std::vector<DecodedEntry>& entries) {
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

}  // namespace

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
        throw HostError(kExitCantCreate,
                        Say("catalogue {1} is full: every disc identifier from 1 to 65535 is in use", file_.string()));
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
                              candidates->Text(3) == LabelText(fields) &&
                              candidates->Text(4) == HostDataBytes(fields) && candidates->Text(5) == disc.name &&
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

StoreOutcome Catalogue::Store(const Submission& submission, bool again, const std::function<void(int32_t)>& progress) {
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
        if (submission.folder) {
            Cached(kInsertFolder)
                .Bind(1, id)
                .Bind(2, static_cast<int64_t>(submission.folder->device))
                .Bind(3, static_cast<int64_t>(submission.folder->inode))
                .Run();
        }

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
        Statement folder(db_.get(), "DELETE FROM disc_folders WHERE disc = ?1");
        folder.Bind(1, id).Run();
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
