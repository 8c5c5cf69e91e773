#include "plugins/ks/ks_disc.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "text/licence.h"
#include "text/name_version.h"
#include "text/page_text.h"
#include "text/text_rules.h"

namespace wtk::ks_disc {

namespace {

constexpr uint8_t kIssue = 13;
constexpr int32_t kCentury = 2000;
constexpr char kPagePattern[] = ":\\datalo\\htm\\*.htm";
constexpr char kPageFolder[] = ":\\datalo\\htm\\";
constexpr char kYearSeparator[] = "/";
constexpr char kCaptionSeparator[] = ">";
// A page whose description is only this word is shown to the user before it is imported.
constexpr std::string_view kProgramNotice = "program";

// Where the label holds the issue and the year digits (1-based, two characters each).
constexpr std::size_t kIssueDigits = 8;
constexpr std::size_t kYearDigits = 10;
constexpr std::size_t kDigitCount = 2;

// The label's characters from the 1-based position first on, at most count of them.
std::string_view LabelCharacters(const TDiscRecord& record, std::size_t first, std::size_t count) {
    const std::string_view label(reinterpret_cast<const char*>(record.Label) + 1, LabelLength(record));
    return first > label.size() ? std::string_view() : label.substr(first - 1, count);
}

std::string DiscName(std::string_view prefix, const TDiscRecord& record) {
    std::string name(prefix);
    name.append(LabelCharacters(record, kIssueDigits, kDigitCount));
    name.append(kYearSeparator);
    name.append(LabelCharacters(record, kYearDigits, kDigitCount));
    return name;
}

int64_t CountEntries(platform::Platform& system, const std::string& pattern) {
    int64_t count = 0;
    const auto search = system.FindFiles(pattern, platform::faAnyFile);
    while (search->Next()) {
        ++count;
    }
    return count;
}

// index × 100 / count; 100 for pages that appear although the first pass counted none.
int32_t PagePercent(int64_t index, int64_t count) {
    return count == 0 ? 100 : static_cast<int32_t>(index * 100 / count);
}

bool IsNonProgramPage(std::string_view fileName, const PageImport& import) {
    return std::ranges::find(import.nonProgramPages, fileName) != import.nonProgramPages.end();
}

void ImportPage(Registration& registration, const PageImport& import, const std::string& fileName) {
    platform::Platform& system = platform::Current();
    const std::string page = text::PageText(system.ReadWholeFile(DrivePath(kPageFolder) + fileName)->View());

    std::string name;
    std::string description;
    text::ExtractProgramFields(page, import.layout, name, description);
    if (description == kProgramNotice) {
        const std::string caption = fileName + kCaptionSeparator + name;
        system.MessageBox(description, caption.c_str(), platform::mbOk, platform::BoxOwner::None);
    }

    std::string version;
    text::SplitNameVersion(name, name, version);
    const TLicenceKind licence = text::ExtractLicenceKind(page);
    WriteEntry(registration.entryStream, registration.record, licence, name, version, description, Reposition::Yes);
}

}  // namespace

const FailureBox kRecognitionFailure{"Wystąpił błąd. Proszę skontaktować się z autorem wtyczki.",
                                     platform::mbIconExclamation};
const FailureBox kRegistrationFailure{"Wystąpił błąd. Proszę skontaktować się z autorem.", platform::mbOk};

PluginDescriptor KsDiscPlugin(const char* name, const char* infoText, TRegisterAnswer (*recognise)(),
                              void (*registerDisc)(Registration&)) {
    return PluginDescriptor{
        name,      name,         infoText, platform::BoxOwner::None, kRecognitionFailure, kRegistrationFailure,
        recognise, registerDisc, rrDone,
    };
}

void RegisterKsDisc(Registration& registration, const PageImport& import) {
    TDiscRecord& record = registration.record;
    record.Issue = kIssue;
    const int32_t yearDigits = text::ParseInteger(LabelCharacters(record, kYearDigits, kDigitCount));
    record.Year = static_cast<uint16_t>(kCentury + yearDigits);
    WriteDiscRecord(registration.discStream, record, DiscName(import.discNamePrefix, record), Reposition::Yes);

    platform::Platform& system = platform::Current();
    const std::string pattern = DrivePath(kPagePattern);
    const int64_t count = CountEntries(system, pattern);

    int64_t index = 0;
    const auto search = system.FindFiles(pattern, platform::faAnyFile);
    while (const auto entry = search->Next()) {
        ++index;
        registration.progress.Report(PagePercent(index, count));
        const std::string fileName = text::LowerAscii(entry->name);
        if (IsNonProgramPage(fileName, import)) {
            continue;
        }
        ImportPage(registration, import, fileName);
    }
}

}  // namespace wtk::ks_disc
