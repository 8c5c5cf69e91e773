#include "legacy_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "contract/errors.h"
#include "issue_and_year.h"
#include "platform/platform.h"
#include "text/line_cut.h"
#include "text/name_version.h"
#include "text/text_rules.h"

namespace wtk::chip {

namespace {

constexpr char kRootPath[] = ":\\";
constexpr char kTableFile[] = ":\\Tabela.dbt";
constexpr char kDiscName[] = "CHIP";

constexpr char kCR = '\r';
constexpr char kLF = '\n';

// Fields of a table line.
constexpr std::size_t kNumberField = 4;
constexpr std::size_t kTitleField = 5;
constexpr std::size_t kDescriptionField = 6;
constexpr std::size_t kSectionField = 7;
constexpr std::size_t kLicenceField = 9;
constexpr std::size_t kFieldsRead = 10;

// Lines whose number field is above this are not programs.
constexpr int32_t kHighestNumber = 1000;

// Sections whose lines are split into name and version even without a licence word.
constexpr std::string_view kTestSoftSection = "testsoft";
constexpr std::string_view kTopTenSection = "top_ten";

// Two-digit years: 80 to 99 are the 1900s, 0 to 79 the 2000s; a year below 0 is counted from 1900.
constexpr int32_t kTwoDigitYearLimit = 100;
constexpr int32_t kCenturyPivot = 80;

struct LicenceWord {
    std::string_view word;
    TLicenceKind kind;
};

// Compared exactly, letter case included, in this order.
constexpr LicenceWord kLicenceWords[] = {
    {"Demonstracyjna", lkDemo}, {"Freeware", lkFreeware}, {"Shareware", lkShareware},
    {"30-dniowa", lkTrial},     {"45-dniowa", lkTrial},   {"Pełna", lkFull},
};

int32_t FourDigitYear(int32_t year) {
    if (year < 0) {
        return year + 1900;
    }
    if (year < kTwoDigitYearLimit) {
        return year + (year >= kCenturyPivot ? 1900 : 2000);
    }
    return year;
}

// A label such as CHIP_05_99: a prefix, "_", the issue, "_", the year.
IssueAndYear ParseVolumeLabel(std::string_view label) {
    std::string_view rest = label;
    if (const std::size_t first = rest.find('_'); first != std::string_view::npos) {
        rest.remove_prefix(first + 1);
    }
    std::string_view issueText;
    std::string_view yearText = rest;
    if (const std::size_t second = rest.find('_'); second != std::string_view::npos) {
        issueText = rest.substr(0, second);
        yearText = rest.substr(second + 1);
    }
    const int32_t year = FourDigitYear(text::ParseInteger(yearText));
    const int32_t issue = text::ParseInteger(issueText);
    return CheckedIssueAndYear(issue, year);
}

TLicenceKind LicenceKindOf(std::string_view word) {
    if (word.empty()) {
        return lkUnspecified;
    }
    for (const LicenceWord& licence : kLicenceWords) {
        // The first byte settles most comparisons without a call to the library's.
        if (licence.word[0] == word[0] && licence.word == word) {
            return licence.kind;
        }
    }
    return lkUnspecified;
}

// Codes 32 and below, as trimming counts them: spaces, tabs, LF, NUL, the Ctrl-Z end-of-file mark.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The lines of the table. In a table that holds any CR, CR and CR LF end lines and an LF elsewhere
// belongs to its line; a table without a CR has its lines ended by LF. Whatever follows the last
// line break is a line too, unless it is blanks only: old tools ended their text files with Ctrl-Z,
// sometimes after stray blanks or line feeds, and such a tail holds no line. Each line is cut in
// one walk that finds its break and the TABs of its first fields together.
class TableLines {
public:
    explicit TableLines(std::string_view table)
        : lineBreak_(table.find(kCR) != std::string_view::npos ? kCR : kLF),
          data_(WithoutBlankTail(table, lineBreak_)),
          cut_(text::BestLineCutter()),
          ahead_(data_) {}

    // How many lines the table holds: one per line break, and the text behind the last one.
    uint64_t Count() const {
        if (data_.empty()) {
            return 0;
        }
        // Counted a piece at a time, with the memory of the pieces ahead asked for meanwhile.
        constexpr std::size_t kPiece = std::size_t{16} << 10;
        const text::ByteCounter count = text::BestByteCounter();
        text::ReadAhead ahead(data_);
        std::size_t breaks = 0;
        for (std::size_t at = 0; at < data_.size(); at += kPiece) {
            ahead.At(data_.data() + at);
            breaks += count(data_.data() + at, std::min(kPiece, data_.size() - at), lineBreak_);
        }
        const std::size_t lastBreak = data_.rfind(lineBreak_);
        const bool textBehind = lastBreak == std::string_view::npos || NextLineStart(lastBreak) < data_.size();
        return breaks + (textBehind ? 1 : 0);
    }

    // Cuts the next line and its first fields into `fields`; only called while lines remain.
    template <std::size_t Count>
    void Next(text::CutFields<Count>& fields) {
        const std::size_t start = next_;
        ahead_.At(data_.data() + start);
        const text::LineCut cut = cut_(data_.data(), data_.size(), start, lineBreak_, fields.Rooms(), Count);
        fields.Take(data_.data(), start, cut);
        next_ = NextLineStart(cut.end);
    }

private:
    // The table up to its last line break when all that follows the break is blanks; else whole.
    static std::string_view WithoutBlankTail(std::string_view table, char lineBreak) {
        std::size_t end = table.size();
        while (end > 0 && table[end - 1] != lineBreak && IsBlank(table[end - 1])) {
            --end;
        }
        const bool blankTail = end == 0 || table[end - 1] == lineBreak;
        return blankTail ? table.substr(0, end) : table;
    }

    // Where the line after the one ending at `end` starts: behind its LF, CR or CR LF.
    std::size_t NextLineStart(std::size_t end) const {
        if (end >= data_.size()) {
            return data_.size();
        }
        const bool crLf = lineBreak_ == kCR && end + 1 < data_.size() && data_[end + 1] == kLF;
        return end + (crLf ? 2 : 1);
    }

    char lineBreak_;
    std::string_view data_;
    text::LineCutter cut_;
    text::ReadAhead ahead_;
    std::size_t next_ = 0;
};

using TableFields = text::CutFields<kFieldsRead>;

void ImportTableLine(Registration& registration, const TableFields& fields, text::NameVersionSplitter& splitter) {
    const int32_t number = text::ParseInteger(fields.Field(kNumberField));
    if (number > kHighestNumber) {
        return;
    }
    const std::string_view title = fields.Field(kTitleField);
    const std::string_view description = fields.Field(kDescriptionField);
    const std::string_view section = fields.Field(kSectionField);
    const std::string_view licenceWord = fields.Field(kLicenceField);

    if (!licenceWord.empty() || section == kTestSoftSection || section == kTopTenSection) {
        const text::NameVersionSplitter::Parts split = splitter.Split(title);
        WriteEntry(registration.entryStream, registration.record, LicenceKindOf(licenceWord), split.name, split.version,
                   description);
    } else {
        WriteEntry(registration.entryStream, registration.record, lkUnspecified, title, std::string_view(),
                   description);
    }
}

}  // namespace

void ImportLegacyTable(Registration& registration) {
    platform::Platform& system = platform::Current();
    const IssueAndYear label = ParseVolumeLabel(system.VolumeLabel(DrivePath(kRootPath)));
    registration.record.Issue = label.issue;
    registration.record.Year = label.year;
    WriteDiscRecord(registration.discStream, registration.record, kDiscName);

    const std::unique_ptr<platform::FileBytes> table = system.ReadWholeFile(DrivePath(kTableFile));
    TableLines lines(table->View());
    const uint64_t lineCount = lines.Count();
    // Progress divides by one more than the lines, so that it never reaches 100: a header and
    // three data lines report 40, 60 and 80.
    const uint64_t divisor = lineCount + 1;
    TableFields fields;
    if (lineCount > 0) {
        lines.Next(fields);  // the header line
    }
    PercentOf percent(divisor);
    text::NameVersionSplitter splitter;  // its room is reused from line to line
    for (uint64_t m = 2; m <= lineCount; ++m) {
        registration.progress.Report(percent.At(m));
        lines.Next(fields);
        ImportTableLine(registration, fields, splitter);
    }
}

}  // namespace wtk::chip
