#include "browser_index.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "contract/errors.h"
#include "issue_and_year.h"
#include "platform/platform.h"
#include "text/line_cut.h"
#include "text/name_version.h"
#include "text/tab_field.h"
#include "text/text_rules.h"

namespace wtk::chip {

namespace {

constexpr char kIndexFile[] = ":\\Browser\\Chip.dat";
constexpr char kDiscName[] = "CHIP CD";

// The index starts with a header the import does not read; its lines begin behind it.
constexpr std::size_t kIndexHeaderSize = 44;
// The issue and the year stand in the last bytes of the file.
constexpr std::size_t kTrailerSize = 25;
// Program numbers the seen table covers: 0 to 999.
constexpr int32_t kSeenTableSize = 1000;

// Fields of a program line.
constexpr int kDescriptionField = 2;

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kTab = '\t';

// Lines whose title field is one of these are the index's categories, not programs.
constexpr std::string_view kCategoryWords[] = {
    "root", "hardware", "chip", "chip internet", "software", "internet", "porady",
};

// Behind any characters that are not digits: the issue, "/", the year, and a TAB.
IssueAndYear ReadIndexTrailer(std::string_view index) {
    if (index.size() < kTrailerSize) {
        throw PluginError("index shorter than its trailer");
    }
    std::string_view trailer = index.substr(index.size() - kTrailerSize);
    const auto firstDigit = std::find_if(trailer.begin(), trailer.end(), text::IsDigit);
    if (firstDigit == trailer.end()) {
        throw PluginError("no digit in the index trailer");
    }
    trailer.remove_prefix(static_cast<std::size_t>(firstDigit - trailer.begin()));
    trailer = trailer.substr(0, trailer.find(kTab));

    const std::size_t slash = trailer.find('/');
    if (slash == std::string_view::npos) {
        throw PluginError("no issue and year in the index trailer");
    }
    const int32_t issue = text::ParseInteger(trailer.substr(0, slash));
    const int32_t year = text::ParseInteger(trailer.substr(slash + 1));
    return CheckedIssueAndYear(issue, year);
}

bool IsLineBreak(char c) { return c == kCR || c == kLF; }

// The index's lines from behind its header. A line ends at a CR (or at the end of the data), and
// the whole run of CR and LF behind it is consumed with it, so no empty line comes out but
// possibly the first. The reader holds one character ahead, as the disc browser's reader does:
// the read position counts the bytes consumed, that character included.
class IndexLines {
public:
    explicit IndexLines(std::string_view index) : data_(index), ahead_(index) {
        if (data_.size() > kIndexHeaderSize) {
            held_ = kIndexHeaderSize;
            position_ = kIndexHeaderSize + 1;
        } else {
            position_ = data_.size();
        }
    }

    // The next line, or nothing when the read position has reached the end of the data.
    std::optional<std::string_view> Next() {
        if (position_ >= data_.size()) {
            return std::nullopt;
        }
        const std::size_t start = held_;
        ahead_.At(data_.data() + start);
        const char* const found = find_(data_.data() + start, data_.size() - start, kCR);
        if (found == nullptr) {
            held_ = data_.size() - 1;
            position_ = data_.size();
            return data_.substr(start);
        }
        const auto cr = static_cast<std::size_t>(found - data_.data());
        held_ = cr;
        position_ = cr + 1;
        while (IsLineBreak(data_[held_]) && position_ < data_.size()) {
            held_ = position_;
            ++position_;
        }
        return data_.substr(start, cr - start);
    }

    uint64_t ReadPosition() const { return position_; }

private:
    std::string_view data_;
    text::ByteFinder find_ = text::BestByteFinder();
    text::ReadAhead ahead_;
    std::size_t held_ = 0;      // index of the character read ahead
    std::size_t position_ = 0;  // bytes consumed from the file's start
};

bool IsCategoryWord(std::string_view title) {
    return std::find(std::begin(kCategoryWords), std::end(kCategoryWords), title) != std::end(kCategoryWords);
}

// The program number of a line, or nothing when the field is no integer or lies outside the
// seen table.
std::optional<int32_t> ProgramNumber(std::string_view field) {
    int32_t number = 0;
    try {
        number = text::ParseInteger(field);
    } catch (const PluginError&) {
        return std::nullopt;
    }
    if (number < 0 || number >= kSeenTableSize) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

void ImportBrowserIndex(Registration& registration) {
    std::array<bool, kSeenTableSize> seen{};
    const std::unique_ptr<platform::FileBytes> indexFile = platform::Current().ReadWholeFile(DrivePath(kIndexFile));
    const std::string_view index = indexFile->View();

    const IssueAndYear trailer = ReadIndexTrailer(index);
    registration.record.Issue = trailer.issue;
    registration.record.Year = trailer.year;
    WriteDiscRecord(registration.discStream, registration.record, kDiscName, Reposition::Yes);

    IndexLines lines(index);
    PercentOf percent(index.size());
    std::string name;
    std::string version;
    while (const std::optional<std::string_view> line = lines.Next()) {
        registration.progress.Report(percent.At(lines.ReadPosition()));

        // A line is skipped when its number is no program number or was seen before, or when its
        // title is a category word. The number is tested first: most lines of a long index are
        // skipped on it, and need no more than their first field.
        const std::size_t numberEnd = text::FindTab(*line, 0);
        const std::optional<int32_t> number = ProgramNumber(line->substr(0, numberEnd));
        if (!number || seen[*number]) {
            continue;
        }
        const std::string_view title =
            numberEnd == std::string_view::npos ? std::string_view() : text::FieldAt(*line, numberEnd + 1);
        if (IsCategoryWord(title)) {
            continue;
        }
        seen[*number] = true;

        text::SplitNameVersion(title, name, version);
        WriteEntry(registration.entryStream, registration.record, lkUnspecified, name, version,
                   text::GetTabField(*line, kDescriptionField), Reposition::Yes);
    }
}

}  // namespace wtk::chip
