// The catalogue: an SQLite file of the discs that were registered and the programs on them,
// searchable by word. Texts are kept as UTF-8 for people and as the Windows-1250 bytes the
// libraries wrote, so nothing is lost.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/catalogue/sqlite.h"
#include "host/discs/disc_tree.h"
#include "host/modules/stream_decode.h"

namespace wertowik {

// $XDG_DATA_HOME/wertowik/catalogue.sqlite, else ~/.local/share/wertowik/catalogue.sqlite.
std::filesystem::path DefaultCataloguePath();

// What one registration handed back: the streams exactly as the library wrote them, and the
// disc's files.
struct Submission {
    std::string plugin;   // empty: no library claimed the disc, which is stored with its label and files
    std::string source;   // the folder or image the disc was read from
    int result = 2;       // RegisterCD's result
    uint16_t discId = 0;  // the identifier the library was handed
    std::string_view discStream, entryStream;  // the host's streams, read where they are
    std::string label;                         // the volume label (Windows-1250), for a disc no library claimed
    const DiscTree* tree = nullptr;            // every file and folder of the disc; none when not walked
    std::optional<FolderIdentity> folder;      // where a folder disc's folder lies; none for an image
};

// The result a disc that no library claimed is stored with.
inline constexpr int kNotClaimed = -1;

enum class StoreStatus {
    Stored,
    Duplicate,  // the same disc is catalogued already; nothing stored
    Failed,     // the registration failed (result 2); nothing stored
    NoRecord,   // the library wrote no disc record; nothing stored
    Malformed,  // the streams cannot be taken as one disc and its entries; nothing stored
};

struct StoreOutcome {
    StoreStatus status = StoreStatus::Failed;
    uint16_t discId = 0;  // Stored: the disc's identifier; Duplicate: the catalogued disc's
    int programs = 0;
    int files = 0;
    std::string reason;  // why nothing was stored
};

struct DiscRow {
    uint16_t id = 0;
    std::string plugin, source;
    std::string name, nameRaw;  // UTF-8, Windows-1250
    std::string label, labelRaw;
    int issue = 0, year = 0;
    std::string hostData;  // 4 bytes
    std::string record;    // the 25 bytes as the library wrote them
    int result = 0;
    int programs = 0;
    std::string registeredAt;  // ISO 8601, UTC
    int files = 0;             // files and folders catalogued
    int64_t firstFile = 0;     // the identifier of the first of them

    bool claimed() const { return !plugin.empty(); }
};

struct ProgramRow {
    uint16_t disc = 0;
    int position = 0;  // from 1, in the order the library wrote the entries
    int licence = 0;
    std::string name, version, description;           // UTF-8
    std::string nameRaw, versionRaw, descriptionRaw;  // Windows-1250
};

struct SearchQuery {
    std::string text;  // UTF-8, one or more words
    std::optional<uint8_t> licence;
    std::optional<uint16_t> disc;
    std::size_t limit = 0;  // 0: every match
    std::optional<std::string> library;
};

// One file or folder of a disc.
struct FileRow {
    int64_t id = 0;
    uint16_t disc = 0;
    int64_t parent = 0;  // the folder's id; 0 in the root
    std::string name;    // as the disc spells it
    std::string path;    // the names from the root, shown as UTF-8, joined by "/"
    bool directory = false, hidden = false, system = false;
    int64_t size = 0;
    std::optional<int64_t> modified;  // seconds since 1970, UTC
};

struct FileQuery {
    std::string text;  // words, or a name pattern with * and ?
    std::optional<uint16_t> disc;
    std::size_t limit = 0;  // 0: every match
    std::optional<std::string> library;
};

struct FileHit {
    FileRow file;
    std::string discName, discLabel;
    int issue = 0, year = 0;
};

struct DiscQuery {
    std::string text;                    // words that the disc's name, label, library or year hold
    std::optional<std::string> library;  // "" for the discs no library claimed
    std::optional<int> year;
};

struct SearchHit {
    ProgramRow program;
    std::string discName;
    int issue = 0, year = 0;
};

class Catalogue {
public:
    enum class Access { Read, Write };

    // Opens (for Write: creates when missing, with its folders) the catalogue. Throws HostError with
    // a one-line reason when the file is not a catalogue, is read-only for Write, or cannot be opened.
    // Reading a catalogue that does not exist yet reads an empty one and creates nothing.
    static Catalogue Open(const std::filesystem::path& file, Access access);

    Catalogue(Catalogue&&) = default;
    Catalogue& operator=(Catalogue&&) = default;

    const std::filesystem::path& file() const { return file_; }

    // The identifier the next disc gets: one above the highest, else the lowest free one. Throws
    // HostError when all 65535 are taken.
    uint16_t NextFreeId();

    // Stores a registration in one transaction when its result is 0 or 1 and the streams hold one
    // disc record with its entries. Unless again, a disc already catalogued with the same library,
    // disc name, record fields and entries is not stored a second time. When the identifier the
    // library was handed was taken meanwhile by another process, the disc gets the next free one and
    // its stored record and entries carry that one.
    // progress, when given, is told the percentage of the entries stored so far.
    StoreOutcome Store(const Submission& submission, bool again,
                       const std::function<void(int32_t)>& progress = nullptr);

    // One view of the catalogue for the reads made while the object lives (an export's discs and
    // their programs agree even while another process registers or removes a disc).
    [[nodiscard]] sqlite::Transaction ConsistentReads() {
        return sqlite::Transaction(db_.get(), sqlite::Transaction::Kind::Read);
    }

    std::vector<DiscRow> Discs();
    // The discs that fit every part of the query given, in identifier order. A word matches the
    // start of a word of the disc's name, label or library, or its year, without regard to case or
    // diacritics (as for programs: a word of one or two characters only whole words).
    std::vector<DiscRow> FindDiscs(const DiscQuery& query);
    std::optional<DiscRow> Disc(uint16_t id);
    std::vector<ProgramRow> Programs(uint16_t disc);
    // Programs that hold every word of the text in their name, version or description, without
    // regard to case or diacritics; a word of three or more characters also matches the start of a
    // longer word. Programs whose name holds every word come first; within that, and among the
    // rest, catalogue order (disc, then place on the disc).
    std::vector<SearchHit> Search(const SearchQuery& query);
    // A disc's files and folders, each folder before what it holds.
    std::vector<FileRow> Files(uint16_t disc);
    // What a folder of a disc holds (folder 0: the disc's root), in the disc's order, each with its
    // path; nothing when the disc has no such folder. Reads that folder's rows alone, so that a
    // disc of many thousand files is shown one folder at a time.
    std::vector<FileRow> Children(uint16_t disc, int64_t folder);
    // Files and folders by name: every word of the text is a whole word of the name ("setup" finds
    // setup.exe and SETUP.INI, not setup32.exe), or, for a pattern with * and ?, the whole name
    // matches it; letter case and diacritics do not matter. In catalogue order (disc, then place).
    std::vector<FileHit> SearchFiles(const FileQuery& query);
    // Where the folder of a folder disc lay when it was registered; nothing for an image, or for a
    // disc registered before catalogues recorded it.
    std::optional<FolderIdentity> FolderOf(uint16_t disc);
    // Removes a disc, its programs and its files; false when there is no such disc.
    bool Remove(uint16_t id);

private:
    Catalogue(std::filesystem::path file, sqlite::Connection db) : file_(std::move(file)), db_(std::move(db)) {}

    [[noreturn]] void Fail(const sqlite::SqliteError& error) const;
    // Readies an open connection: the fold function, the busy timeout, and the catalogue's tables
    // made (fresh) or checked (else; an empty file is filled in by a writer and read as empty).
    void Prepare(Access access, bool fresh);
    void Upgrade(Access access);
    std::optional<uint16_t> FindDuplicate(const std::string& plugin, const DecodedDisc& disc,
                                          const std::vector<DecodedEntry>& entries, int64_t fingerprint,
                                          std::optional<int64_t> treeFingerprint);
    uint16_t NextFreeIdLocked();
    // The statement of this SQL text (a constant, known by its address), prepared once for all
    // the discs of a command. Whoever steps it resets it (StepsOf) before the transaction ends.
    sqlite::Statement& Cached(const char* sql);

    std::filesystem::path file_;
    sqlite::Connection db_;
    int64_t format_ = 0;  // the format db_ reads: the current one, or 2 or 3, which a reader reads as they are
    // Finalized before the connection closes (members are destroyed in reverse order).
    std::unordered_map<const char*, std::unique_ptr<sqlite::Statement>> statements_;
};

}  // namespace wertowik
