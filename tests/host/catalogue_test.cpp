// The catalogue, driven in-process with streams written byte by byte as a library writes them.
#include "host/catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <set>
#include <thread>

#include "cli_runner.h"
#include "host/base/errors.h"
#include "host/base/text_fold.h"
#include "host/catalogue/names.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wertowik {
namespace {

namespace fs = std::filesystem;
using wtk::test::ReadBytes;
using wtk::test::TempDir;
using wtk::test::WriteBytes;

std::string U16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

// A disc record and its name, as a library appends them to the disc stream.
std::string DiscBytes(uint16_t id, uint8_t issue, uint16_t year, const std::string& label, const std::string& name,
                      const std::string& hostData = std::string(4, '\0')) {
    std::string bytes = U16(id) + static_cast<char>(issue) + U16(year);
    bytes += static_cast<char>(label.size());
    bytes += label + std::string(14 - label.size(), '\0');
    bytes += hostData;
    bytes += static_cast<char>(name.size());
    return bytes + name;
}

// One entry: the 8-byte header (DiscId, LicenceKind, NameLength, Reserved, VersionLength,
// DescriptionLength) and the three texts.
std::string EntryBytes(uint16_t id, uint8_t licence, const std::string& name, const std::string& version,
                       const std::string& description) {
    std::string bytes = U16(id) + static_cast<char>(licence) + static_cast<char>(name.size()) + '\0' +
                        static_cast<char>(version.size()) + U16(static_cast<uint16_t>(description.size()));
    return bytes + name + version + description;
}

// Windows-1250 texts and their UTF-8 forms.
const std::string kZrodloCp =
    "\x8Fr\xF3"
    "d\xB3o danych";  // Źródło danych
const std::string kZrodloUtf8 =
    "\xC5\xB9r\xC3\xB3"
    "d\xC5\x82o danych";
const std::string kLodzCp =
    "\xA3\xF3"
    "d\x9F Edytor";  // Łódź Edytor
const std::string kLodzUtf8 =
    "\xC5\x81\xC3\xB3"
    "d\xC5\xBA Edytor";
const std::string kPangramCp = "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1";  // Zażółć gęślą jaźń

class CatalogueTest : public ::testing::Test {
protected:
    Catalogue Open() { return Catalogue::Open(file(), Catalogue::Access::Write); }
    fs::path file() const { return folder / "nested" / "catalogue.sqlite"; }

    // Registers a disc the way register does: the next free identifier, then the streams.
    StoreOutcome Register(Catalogue& catalogue, const std::string& plugin, const std::string& name,
                          const std::vector<std::tuple<uint8_t, std::string, std::string, std::string>>& programs,
                          uint8_t issue = 5, bool again = false, const std::string& label = "LABEL") {
        const uint16_t id = catalogue.NextFreeId();
        const std::string discs = DiscBytes(id, issue, 2004, label, name);
        std::string entries;
        for (const auto& [licence, program, version, description] : programs) {
            entries += EntryBytes(id, licence, program, version, description);
        }
        return catalogue.Store(Submission{plugin, "/discs/" + name, 0, id, discs, entries}, again);
    }

    TempDir folder;
};

TEST_F(CatalogueTest, KeepsTheRecordTheEntriesAndTheirBytes) {
    Catalogue catalogue = Open();
    EXPECT_EQ(catalogue.NextFreeId(), 1);
    const std::string record = DiscBytes(1, 13, 2005, "KSE_1305", "K\x8C Ekspert 13/05", "\xDE\xAD\xBE\xEF");
    const std::string entries = EntryBytes(1, 2, kZrodloCp, "1.0", kPangramCp) + EntryBytes(1, 0, "Bez opisu", "", "");
    const StoreOutcome stored = catalogue.Store(Submission{"tarvo", "/media/cd", 0, 1, record, entries}, false);
    ASSERT_EQ(stored.status, StoreStatus::Stored) << stored.reason;
    EXPECT_EQ(stored.discId, 1);
    EXPECT_EQ(stored.programs, 2);

    const auto disc = catalogue.Disc(1);
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->plugin, "tarvo");
    EXPECT_EQ(disc->source, "/media/cd");
    EXPECT_EQ(disc->name, "K\xC5\x9A Ekspert 13/05");
    EXPECT_EQ(disc->nameRaw, "K\x8C Ekspert 13/05");
    EXPECT_EQ(disc->issue, 13);
    EXPECT_EQ(disc->year, 2005);
    EXPECT_EQ(disc->label, "KSE_1305");
    EXPECT_EQ(disc->hostData, "\xDE\xAD\xBE\xEF");
    EXPECT_EQ(disc->record, record.substr(0, 25));
    EXPECT_EQ(disc->programs, 2);
    EXPECT_EQ(disc->result, 0);

    const auto programs = catalogue.Programs(1);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].position, 1);
    EXPECT_EQ(programs[0].licence, 2);
    EXPECT_EQ(programs[0].name, kZrodloUtf8);
    EXPECT_EQ(programs[0].nameRaw, kZrodloCp);
    EXPECT_EQ(programs[0].version, "1.0");
    EXPECT_EQ(programs[0].description,
              "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84");
    EXPECT_EQ(programs[0].descriptionRaw, kPangramCp);
    EXPECT_EQ(programs[1].position, 2);
    EXPECT_EQ(programs[1].version, "");
    EXPECT_EQ(programs[1].descriptionRaw, "");

    // Kept after the catalogue is closed and opened again.
    Catalogue reopened = Catalogue::Open(file(), Catalogue::Access::Read);
    ASSERT_EQ(reopened.Discs().size(), 1u);
    EXPECT_EQ(reopened.Programs(1).size(), 2u);
}

TEST_F(CatalogueTest, CodesThatWindows1250LeavesUndefinedSurviveInTheRawBytes) {
    Catalogue catalogue = Open();
    const std::string odd =
        "A\x81"
        "B\x98";  // two of the five undefined codes
    ASSERT_EQ(
        catalogue
            .Store(Submission{"chip", "/d", 0, 1, DiscBytes(1, 1, 2004, "", odd), EntryBytes(1, 0, odd, odd, odd)},
                   false)
            .status,
        StoreStatus::Stored);
    EXPECT_EQ(catalogue.Disc(1)->name,
              "A\xEF\xBF\xBD"
              "B\xEF\xBF\xBD");
    EXPECT_EQ(catalogue.Disc(1)->nameRaw, odd);
    EXPECT_EQ(catalogue.Programs(1)[0].descriptionRaw, odd);
}

// Whether each raw column of the disc's programs holds bytes (true) or is left empty (false).
std::vector<std::array<bool, 3>> KeptRawColumns(const fs::path& file) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* rows = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT name_raw IS NOT NULL, version_raw IS NOT NULL, description_raw IS NOT NULL "
                                 "FROM entries ORDER BY id",
                                 -1, &rows, nullptr),
              SQLITE_OK);
    std::vector<std::array<bool, 3>> kept;
    while (sqlite3_step(rows) == SQLITE_ROW) {
        kept.push_back(
            {sqlite3_column_int(rows, 0) != 0, sqlite3_column_int(rows, 1) != 0, sqlite3_column_int(rows, 2) != 0});
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return kept;
}

// The Windows-1250 bytes are kept only where the UTF-8 text does not give them back, and read
// back byte for byte either way.
TEST_F(CatalogueTest, RawBytesAreKeptOnlyWhereTheTextDoesNotGiveThemBack) {
    struct Case {
        std::string bytes;
        bool kept;
    };
    const std::vector<Case> cases = {
        {"Plain ASCII 1.0", false},
        {"", false},
        {kPangramCp, false},
        {kLodzCp, false},
        {"\x01\x02\x1F tab\t cr\r \x7F", false},  // control codes convert both ways
        {"\x8A\x8C\x8D\x8E\x8F\x9A\x9C\x9D\x9E\x9F \x84\x85\x86\x87\x89\x8B\x91\x92\x93\x94\x95\x96\x97\x99\x9B",
         false},
        {"\xA0\xA4\xA9\xAB\xB0\xB1\xBB\xD7\xF7\xFF", false},
        {"\x81", true},  // the five codes Windows-1250 leaves undefined
        {"\x83", true},
        {"\x88", true},
        {"\x90", true},
        {"\x98", true},
        {"\xA3\xF3"
         "d\x9F \x81 A",
         true},
        {"Tom &amp; Jerry", true},  // shown with the entity decoded
        {"&#322;", true},
        {"a &lt; b", true},
    };
    const auto entries = [&](uint16_t id) {
        std::string bytes;
        for (const Case& c : cases) {
            bytes += EntryBytes(id, 0, c.bytes, "v" + c.bytes, c.bytes + "!");
        }
        return bytes;
    };
    Catalogue catalogue = Open();
    const std::string disc = DiscBytes(1, 1, 2004, "", "Odd");
    ASSERT_EQ(catalogue.Store(Submission{"chip", "/d", 0, 1, disc, entries(1)}, false).status, StoreStatus::Stored);
    const auto programs = catalogue.Programs(1);
    const auto kept = KeptRawColumns(file());
    ASSERT_EQ(programs.size(), cases.size());
    ASSERT_EQ(kept.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(::testing::PrintToString(cases[i].bytes));
        EXPECT_EQ(programs[i].nameRaw, cases[i].bytes);
        EXPECT_EQ(programs[i].versionRaw, "v" + cases[i].bytes);
        EXPECT_EQ(programs[i].descriptionRaw, cases[i].bytes + "!");
        EXPECT_EQ(kept[i][0], cases[i].kept);
        EXPECT_EQ(kept[i][1], cases[i].kept);
        EXPECT_EQ(kept[i][2], cases[i].kept);
    }
    // A search hands back the same bytes, and the same disc, compared through them, is known again.
    const auto hits = catalogue.Search(SearchQuery{"tom", {}, {}, 0, {}});
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].program.nameRaw, "Tom &amp; Jerry");
    const StoreOutcome duplicate =
        catalogue.Store(Submission{"chip", "/d", 0, 2, DiscBytes(2, 1, 2004, "", "Odd"), entries(2)}, false);
    EXPECT_EQ(duplicate.status, StoreStatus::Duplicate) << duplicate.reason;
}

// A catalogue of format 2 kept every text twice. Opened for writing, it is brought to the current
// format: each copy that its text gives back is dropped, the others stay, and every reader sees
// the same bytes as before. A reader of a read-only copy sees them too and changes nothing.
TEST_F(CatalogueTest, AFormat2CatalogueIsUpgradedWithTheSameBytes) {
    const fs::path old = fs::path(WERTOWIK_SOURCE_DIR) / "tests" / "data" / "catalogue-format-2.sqlite";
    struct Program {
        uint8_t licence;
        std::string name, version, description;
    };
    const std::vector<Program> expected = {
        {2, kZrodloCp, "1.0", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9"},
        {1, "Tom &amp; Jerry", "\x81\x83",
         "A\x88"
         "B\x90"
         "C\x98"
         "D"},
        {0, "Plain", "", "\x01\x02 control"},
    };
    const auto check = [&](Catalogue& catalogue) {
        const auto programs = catalogue.Programs(1);
        ASSERT_EQ(programs.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(programs[i].nameRaw, expected[i].name) << i;
            EXPECT_EQ(programs[i].versionRaw, expected[i].version) << i;
            EXPECT_EQ(programs[i].descriptionRaw, expected[i].description) << i;
        }
        EXPECT_EQ(programs[1].name, "Tom & Jerry");
        EXPECT_EQ(catalogue.Disc(1)->nameRaw, "CHIP &amp; Co");
        EXPECT_EQ(catalogue.Search(SearchQuery{"zrodlo", {}, {}, 0, {}}).size(), 1u);
        EXPECT_EQ(catalogue.SearchFiles(FileQuery{"replay", {}, 0, {}}).size(), 1u);  // the word indexes made anew
    };
    const fs::path readOnly = folder / "read-only.sqlite";
    fs::copy_file(old, readOnly);
    ::chmod(readOnly.c_str(), 0444);
    {
        Catalogue reader = Catalogue::Open(readOnly, Catalogue::Access::Read);
        check(reader);
    }
    EXPECT_EQ(ReadBytes(readOnly), ReadBytes(old));

    fs::create_directories(file().parent_path());
    fs::copy_file(old, file());
    {
        Catalogue writer = Open();
        check(writer);
        // Stored again, the disc is known for what it is.
        std::string entries;
        for (const Program& p : expected) {
            entries += EntryBytes(2, p.licence, p.name, p.version, p.description);
        }
        const StoreOutcome again =
            writer.Store(Submission{"chip", "/d", 0, 2, DiscBytes(2, 5, 2004, "", "CHIP &amp; Co"), entries}, false);
        EXPECT_EQ(again.status, StoreStatus::Duplicate) << again.reason;
    }
    const std::vector<std::array<bool, 3>> kept = {{false, false, false}, {true, true, true}, {false, false, false}};
    EXPECT_EQ(KeptRawColumns(file()), kept);
    EXPECT_EQ(static_cast<unsigned char>(ReadBytes(file())[63]), 4);  // user_version
    Catalogue reopened = Catalogue::Open(file(), Catalogue::Access::Read);
    check(reopened);
}

class SearchTest : public CatalogueTest {
protected:
    void SetUp() override {
        Catalogue catalogue = Open();
        ASSERT_EQ(Register(catalogue, "tarvo", "Disc one",
                           {{2, kZrodloCp, "2.1", "Baza danych"},
                            {1, kLodzCp, "7.5 beta", "Edytor tekstu"},
                            {2, "Kalkulator", "", kPangramCp}})
                      .status,
                  StoreStatus::Stored);
        ASSERT_EQ(Register(catalogue, "holvar", "Disc two",
                           {{5, "Edytor obraz\xF3w", "3", "Edycja zdj\xEA\xE6"}, {2, "Pasjans", "1", "Gra w karty"}})
                      .status,
                  StoreStatus::Stored);
    }

    std::vector<std::string> Names(const SearchQuery& query) {
        Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Read);
        std::vector<std::string> names;
        for (const SearchHit& hit : catalogue.Search(query)) {
            names.push_back(hit.program.nameRaw);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SearchTest, WordsMatchWithoutRegardToCaseOrDiacritics) {
    struct Case {
        std::string text;
        std::vector<std::string> found;  // sorted raw names
    };
    const std::vector<Case> cases = {
        {"zrodlo", {kZrodloCp}},
        {"\xC5\xB9R\xC3\x93"
         "D\xC5\x81O",
         {kZrodloCp}},  // ŹRÓDŁO
        {"\xC5\xBAr\xC3\xB3"
         "d\xC5\x82o",
         {kZrodloCp}},          // źródło
        {"zrod", {kZrodloCp}},  // the start of a word
        {"rodlo", {}},          // not the middle of one
        {"edy", {"Edytor obraz\xF3w", kLodzCp}},
        {"ed", {}},           // two letters: whole words only
        {"w", {"Pasjans"}},   // "Gra w karty"
        {"lodz", {kLodzCp}},  // Ł has no decomposition: folded by hand
        {"\xC5\x82\xC3\xB3"
         "d\xC5\xBA",
         {kLodzCp}},  // łódź
        {"LODZ", {kLodzCp}},
        {"gesla", {"Kalkulator"}},  // in the description
        {"zazolc", {"Kalkulator"}},
        {"beta", {kLodzCp}},  // in the version
        {"7.5", {kLodzCp}},
        {"edytor", {"Edytor obraz\xF3w", kLodzCp}},
        {"edytor tekstu", {kLodzCp}},  // every word must match
        {"  edytor\t obrazow ", {"Edytor obraz\xF3w"}},
        {"zdjec", {"Edytor obraz\xF3w"}},
        {"kalkulator pasjans", {}},
        {"nothing", {}},
        {"\"edytor", {"Edytor obraz\xF3w", kLodzCp}},  // query syntax is taken as text
        {"edytor OR pasjans", {}},
        {"(edytor)", {"Edytor obraz\xF3w", kLodzCp}},
        {"edytor-tekstu", {kLodzCp}},  // a word with punctuation is a phrase
        {"karty*", {"Pasjans"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SearchQuery query;
        query.text = c.text;
        EXPECT_EQ(Names(query), c.found);
    }
}

TEST_F(SearchTest, FiltersByLicenceAndDiscAndLimits) {
    struct Case {
        std::string text;
        std::optional<uint8_t> licence;
        std::optional<uint16_t> disc;
        std::size_t limit;
        std::size_t count;
    };
    const std::vector<Case> cases = {
        {"edytor", std::nullopt, std::nullopt, 0, 2},
        {"edytor", 1, std::nullopt, 0, 1},  // shareware: Łódź Edytor
        {"edytor", 5, std::nullopt, 0, 1},  // trial: Edytor obrazów
        {"edytor", 2, std::nullopt, 0, 0},
        {"edytor", std::nullopt, 2, 0, 1},
        {"edytor", std::nullopt, 3, 0, 0},
        {"edytor", 5, 1, 0, 0},
        {"edytor", std::nullopt, std::nullopt, 1, 1},
    };
    for (const Case& c : cases) {
        SearchQuery query{c.text, c.licence, c.disc, c.limit};
        Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Read);
        const auto hits = catalogue.Search(query);
        EXPECT_EQ(hits.size(), c.count) << c.text << " licence " << (c.licence ? *c.licence : -1) << " disc "
                                        << (c.disc ? *c.disc : -1);
        for (const SearchHit& hit : hits) {
            if (c.licence) {
                EXPECT_EQ(hit.program.licence, *c.licence);
            }
            if (c.disc) {
                EXPECT_EQ(hit.program.disc, *c.disc);
            }
        }
    }
}

TEST_F(SearchTest, NameMatchesComeBeforeDescriptionMatches) {
    Catalogue catalogue = Open();
    ASSERT_EQ(Register(catalogue, "chip", "Disc three", {{0, "Notatnik", "", "Lepszy niz edytor"}}).status,
              StoreStatus::Stored);
    const auto hits = catalogue.Search(SearchQuery{"edytor"});
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits.back().program.name, "Notatnik");
    EXPECT_EQ(hits.front().discName.empty(), false);
}

TEST_F(SearchTest, AQueryWithoutWordsIsAUsageError) {
    Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Read);
    for (const std::string text : {"", "   ", "\"", "*", "- + ("}) {
        SCOPED_TRACE(text);
        try {
            catalogue.Search(SearchQuery{text});
            ADD_FAILURE() << "no error";
        } catch (const HostError& error) {
            EXPECT_EQ(error.code(), kExitUsage);
        }
    }
}

TEST_F(SearchTest, RemovingADiscTakesItsProgramsOutOfTheIndex) {
    Catalogue catalogue = Open();
    EXPECT_TRUE(catalogue.Remove(1));
    EXPECT_FALSE(catalogue.Remove(1));
    EXPECT_FALSE(catalogue.Disc(1));
    EXPECT_TRUE(catalogue.Programs(1).empty());
    EXPECT_EQ(Names(SearchQuery{"zrodlo"}), std::vector<std::string>{});
    EXPECT_EQ(Names(SearchQuery{"edytor"}), std::vector<std::string>{"Edytor obraz\xF3w"});
    // The index stays consistent: the same programs stored again are found once.
    ASSERT_EQ(Register(catalogue, "tarvo", "Disc one", {{2, kZrodloCp, "2.1", "Baza danych"}}).status,
              StoreStatus::Stored);
    EXPECT_EQ(Names(SearchQuery{"zrodlo"}), std::vector<std::string>{kZrodloCp});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO entry_words (entry_words, rank) VALUES ('integrity-check', 1)", nullptr,
                           nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(SearchTest, ConsistentReadsDoNotSeeARemovalMadeMeanwhile) {
    Catalogue reader = Catalogue::Open(file(), Catalogue::Access::Read);
    Catalogue writer = Open();
    const std::size_t programs = reader.Programs(1).size();
    ASSERT_GT(programs, 0u);
    {
        const auto snapshot = reader.ConsistentReads();
        ASSERT_FALSE(reader.Discs().empty());
        ASSERT_TRUE(writer.Remove(1));
        EXPECT_EQ(reader.Programs(1).size(), programs);  // the disc listed still has its programs
    }
    EXPECT_TRUE(reader.Programs(1).empty());
}

TEST_F(CatalogueTest, TheSameDiscIsStoredOnceUnlessAgain) {
    Catalogue catalogue = Open();
    const std::vector<std::tuple<uint8_t, std::string, std::string, std::string>> programs = {
        {2, "Pasjans", "1.0", "Gra"}, {0, "Notatnik", "", ""}};
    ASSERT_EQ(Register(catalogue, "chip", "CHIP CD", programs).status, StoreStatus::Stored);

    struct Case {
        std::string what;
        std::string plugin, name;
        std::vector<std::tuple<uint8_t, std::string, std::string, std::string>> programs;
        uint8_t issue;
        std::string label;
        StoreStatus expected;
    };
    const std::vector<Case> cases = {
        {"identical", "chip", "CHIP CD", programs, 5, "LABEL", StoreStatus::Duplicate},
        {"another library", "tarvo", "CHIP CD", programs, 5, "LABEL", StoreStatus::Stored},
        {"another disc name", "chip", "CHIP", programs, 5, "LABEL", StoreStatus::Stored},
        {"another issue", "chip", "CHIP CD", programs, 6, "LABEL", StoreStatus::Stored},
        {"another label", "chip", "CHIP CD", programs, 5, "LABEL2", StoreStatus::Stored},
        {"one program fewer", "chip", "CHIP CD", {programs[0]}, 5, "LABEL", StoreStatus::Stored},
        {"another licence",
         "chip",
         "CHIP CD",
         {{1, "Pasjans", "1.0", "Gra"}, programs[1]},
         5,
         "LABEL",
         StoreStatus::Stored},
        {"another order", "chip", "CHIP CD", {programs[1], programs[0]}, 5, "LABEL", StoreStatus::Stored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StoreOutcome outcome = Register(catalogue, c.plugin, c.name, c.programs, c.issue, false, c.label);
        EXPECT_EQ(outcome.status, c.expected) << outcome.reason;
        if (c.expected == StoreStatus::Duplicate) {
            EXPECT_EQ(outcome.discId, 1);
            EXPECT_NE(outcome.reason.find("disc 1"), std::string::npos);
        }
    }
    // Every variant above is now catalogued, and each of them is recognised a second time.
    const std::size_t discs = catalogue.Discs().size();
    EXPECT_EQ(discs, cases.size());
    for (const Case& c : cases) {
        EXPECT_EQ(Register(catalogue, c.plugin, c.name, c.programs, c.issue, false, c.label).status,
                  StoreStatus::Duplicate)
            << c.what;
    }
    const StoreOutcome again = Register(catalogue, "chip", "CHIP CD", programs, 5, true);
    EXPECT_EQ(again.status, StoreStatus::Stored);
    EXPECT_EQ(catalogue.Discs().size(), discs + 1);
}

TEST_F(CatalogueTest, NothingIsStoredFromAFailedOrMalformedRegistration) {
    const std::string record = DiscBytes(1, 1, 2004, "L", "Name");
    const std::string entry = EntryBytes(1, 2, "Program", "1", "Opis");
    struct Case {
        std::string what;
        int result;
        std::string discs, entries;
        StoreStatus expected;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"result 2 after writing everything", 2, record, entry, StoreStatus::Failed, "failed (result 2)"},
        {"result 2 with nothing written", 2, "", "", StoreStatus::Failed, "failed"},
        {"no disc record", 1, "", "", StoreStatus::NoRecord, "no disc record"},
        {"entries without a record", 0, "", entry, StoreStatus::Malformed, "no disc record"},
        {"record cut short", 0, record.substr(0, 20), "", StoreStatus::Malformed, "ends inside a record"},
        {"disc name cut short", 0, record.substr(0, 27), "", StoreStatus::Malformed, "ends inside a record"},
        {"two records", 0, record + record, "", StoreStatus::Malformed, "2 disc records"},
        {"entry cut short", 0, record, entry + entry.substr(0, 9), StoreStatus::Malformed, "ends inside an entry"},
        {"entry of another disc", 0, record, entry + EntryBytes(2, 0, "X", "", ""), StoreStatus::Malformed,
         "entry 2 carries DiscId 2"},
        {"record with another DiscId", 0, DiscBytes(7, 1, 2004, "L", "Name"), "", StoreStatus::Malformed, "DiscId 7"},
    };
    Catalogue catalogue = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StoreOutcome outcome = catalogue.Store(Submission{"chip", "/d", c.result, 1, c.discs, c.entries}, false);
        EXPECT_EQ(outcome.status, c.expected);
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_TRUE(catalogue.Discs().empty());
        EXPECT_EQ(catalogue.NextFreeId(), 1);
    }
}

TEST_F(CatalogueTest, ATakenIdentifierGivesTheDiscTheNextFreeOneInItsRecordAndEntries) {
    Catalogue first = Open();
    Catalogue second = Open();
    // Both processes were told 1; the first stores, the second finds 1 taken when it stores.
    ASSERT_EQ(first.NextFreeId(), 1);
    ASSERT_EQ(second.NextFreeId(), 1);
    ASSERT_EQ(first.Store(Submission{"chip", "/a", 0, 1, DiscBytes(1, 1, 2004, "A", "A"), ""}, false).status,
              StoreStatus::Stored);
    const StoreOutcome moved = second.Store(
        Submission{"chip", "/b", 0, 1, DiscBytes(1, 2, 2004, "B", "B"), EntryBytes(1, 2, "P", "", "")}, false);
    ASSERT_EQ(moved.status, StoreStatus::Stored);
    EXPECT_EQ(moved.discId, 2);
    const auto disc = second.Disc(2);
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->record.substr(0, 2), U16(2));
    EXPECT_EQ(disc->record.substr(2), DiscBytes(1, 2, 2004, "B", "B").substr(2, 23));
    EXPECT_EQ(second.Programs(2).size(), 1u);
    EXPECT_EQ(first.Disc(1)->name, "A");
}

class FilledCatalogueTest : public CatalogueTest {
protected:
    // Inserts discs straight into the file, for identifiers near the 16-bit limit.
    void InsertDiscs(const char* ids) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
        const std::string sql = std::string("WITH RECURSIVE n(id) AS (") + ids +
                                ") INSERT INTO discs SELECT id, 'chip', '/d', 'x', x'78', 0, 0, '', x'', x'00000000', "
                                "zeroblob(25), 0, 0, 0, '', 0, NULL, NULL FROM n";
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << message;
        sqlite3_free(message);
        sqlite3_close(db);
    }
};

TEST_F(FilledCatalogueTest, IdentifiersRunUpAndThenFillTheGaps) {
    Open();
    InsertDiscs("SELECT 65534 UNION ALL SELECT 65535 UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 4");
    Catalogue catalogue = Open();
    EXPECT_EQ(catalogue.NextFreeId(), 3);
    ASSERT_TRUE(catalogue.Remove(1));
    EXPECT_EQ(catalogue.NextFreeId(), 1);
}

TEST_F(FilledCatalogueTest, AFullCatalogueIsAClearErrorAndStaysAsItWas) {
    Open();
    InsertDiscs("SELECT 1 UNION ALL SELECT id + 1 FROM n WHERE id < 65535");
    Catalogue catalogue = Open();
    try {
        catalogue.NextFreeId();
        ADD_FAILURE() << "no error";
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), kExitCantCreate);
        EXPECT_NE(std::string(error.what()).find("full"), std::string::npos);
    }
    // A registration that was handed an identifier before the last ones went finds none free.
    EXPECT_THROW(catalogue.Store(Submission{"chip", "/d", 0, 7, DiscBytes(7, 1, 2004, "", "N"), ""}, true), HostError);
    EXPECT_EQ(catalogue.Discs().size(), 65535u);
}

TEST_F(CatalogueTest, FilesThatAreNoCatalogueAreRefusedAndLeftAlone) {
    struct Case {
        std::string what;
        std::function<void(const fs::path&)> make;
        Catalogue::Access access;
        int code;
        std::string message;
    };
    auto sqliteWith = [](const char* sql) {
        return [sql](const fs::path& file) {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
            sqlite3_close(db);
        };
    };
    auto text = [](const fs::path& file) { WriteBytes(file, "name,year\nCHIP,2004\n" + std::string(5000, 'x')); };
    const std::vector<Case> cases = {
        {"a text file, written to", text, Catalogue::Access::Write, kExitDataError, "not an SQLite database"},
        {"a text file, read", text, Catalogue::Access::Read, kExitDataError, "not an SQLite database"},
        {"another SQLite database", sqliteWith("CREATE TABLE songs (title TEXT)"), Catalogue::Access::Write,
         kExitDataError, "not a wertowik catalogue"},
        {"a newer catalogue",
         sqliteWith("PRAGMA application_id = 1465145163; PRAGMA user_version = 9; "
                    "CREATE TABLE discs (id INTEGER)"),
         Catalogue::Access::Read, kExitDataError, "newer"},
        {"a folder", [](const fs::path& file) { fs::create_directories(file); }, Catalogue::Access::Read,
         kExitDataError, "folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir scratch;
        const fs::path file = scratch / "catalogue.sqlite";
        c.make(file);
        const std::string before = fs::is_regular_file(file) ? ReadBytes(file) : "";
        try {
            Catalogue::Open(file, c.access);
            ADD_FAILURE() << "opened";
        } catch (const HostError& error) {
            EXPECT_EQ(error.code(), c.code);
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
        }
        if (fs::is_regular_file(file)) {
            EXPECT_EQ(ReadBytes(file), before);
        }
        EXPECT_FALSE(fs::exists(file.string() + "-wal"));
    }
}

TEST_F(CatalogueTest, AReadOnlyCatalogueIsReadButNotWritten) {
    {
        Catalogue catalogue = Open();
        ASSERT_EQ(Register(catalogue, "chip", "CHIP CD", {{2, "Pasjans", "1", ""}}).status, StoreStatus::Stored);
    }
    ASSERT_EQ(::chmod(file().c_str(), 0444), 0);
    const std::string before = ReadBytes(file());
    try {
        Open();
        ADD_FAILURE() << "opened for writing";
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), kExitNoPermission);
        EXPECT_NE(std::string(error.what()).find("read-only"), std::string::npos);
    }
    Catalogue reader = Catalogue::Open(file(), Catalogue::Access::Read);
    EXPECT_EQ(reader.Discs().size(), 1u);
    EXPECT_EQ(reader.Search(SearchQuery{"pasjans"}).size(), 1u);
    EXPECT_EQ(ReadBytes(file()), before);
}

TEST_F(CatalogueTest, ReadingAMissingCatalogueCreatesNothing) {
    Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Read);
    EXPECT_TRUE(catalogue.Discs().empty());
    EXPECT_TRUE(catalogue.Search(SearchQuery{"anything"}).empty());
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_FALSE(fs::exists(file().parent_path()));
    // An empty file (as touch leaves it) reads as an empty catalogue too, and stays empty.
    WriteBytes(file(), "");
    EXPECT_TRUE(Catalogue::Open(file(), Catalogue::Access::Read).Discs().empty());
    EXPECT_EQ(fs::file_size(file()), 0u);
    // Opened for writing, it becomes a catalogue in WAL mode.
    Open();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))), "wal");
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST_F(CatalogueTest, TwoWritersAtOnceBothStoreEverything) {
    Open();
    constexpr int kPerWriter = 40;
    auto writer = [this](const std::string& plugin, std::vector<StoreOutcome>* outcomes) {
        Catalogue catalogue = Open();
        for (int i = 0; i < kPerWriter; ++i) {
            outcomes->push_back(Register(catalogue, plugin, "Disc " + std::to_string(i),
                                         {{2, "Program " + std::to_string(i), "1", "Opis"}, {0, "Drugi", "", ""}}));
        }
    };
    std::vector<StoreOutcome> a, b;
    std::thread first(writer, "chip", &a), second(writer, "tarvo", &b);
    first.join();
    second.join();
    std::set<uint16_t> ids;
    for (const auto* outcomes : {&a, &b}) {
        for (const StoreOutcome& outcome : *outcomes) {
            EXPECT_EQ(outcome.status, StoreStatus::Stored) << outcome.reason;
            ids.insert(outcome.discId);
        }
    }
    EXPECT_EQ(ids.size(), 2u * kPerWriter);
    Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Read);
    for (const DiscRow& disc : catalogue.Discs()) {
        EXPECT_EQ(disc.record.substr(0, 2), U16(disc.id));
        EXPECT_EQ(catalogue.Programs(disc.id).size(), 2u);
    }
}

TEST(CatalogueText, FoldStrokes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "L\xC3\xB3"
         "d\xC5\xBA"},  // Łódź: only the stroke goes
        {"\xC5\x82"
         "a\xC5\x82",
         "lal"},
        {"\xC4\x90"
         "ak\xC4\x91",
         "Dakd"},                                  // Đ, đ
        {"\xC5\x83\xC4\x84", "\xC5\x83\xC4\x84"},  // Ń, Ą: left to the tokenizer
        {"\xC5", "\xC5"},                          // a cut sequence stays
        {"", ""},
    };
    for (const auto& [text, folded] : cases) {
        EXPECT_EQ(FoldStrokes(text), folded) << text;
    }
}

TEST(CatalogueText, Licences) {
    const std::vector<std::pair<std::string, std::optional<uint8_t>>> cases = {
        {"freeware", 2}, {"FreeWare", 2},     {"unspecified", 0},     {"adware", 7},      {"gpl", 6},
        {"3", 3},        {"8", std::nullopt}, {"free", std::nullopt}, {"", std::nullopt}, {"22", std::nullopt},
    };
    for (const auto& [text, code] : cases) {
        EXPECT_EQ(ParseLicence(text), code) << text;
    }
    EXPECT_EQ(LicenceName(5), "trial");
    EXPECT_EQ(LicenceName(9), "code 9");
}

TEST(CatalogueText, DefaultPathFollowsXdgDataHomeThenHome) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"/data", "/home/ola", "/data/wertowik/catalogue.sqlite"},
        {"", "/home/ola", "/home/ola/.local/share/wertowik/catalogue.sqlite"},
        {"relative/path", "/home/ola", "/home/ola/.local/share/wertowik/catalogue.sqlite"},
    };
    const std::string savedXdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const Case& c : cases) {
        ::setenv("XDG_DATA_HOME", c.xdg, 1);
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(DefaultCataloguePath(), c.expected) << c.xdg;
    }
    ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace wertowik
