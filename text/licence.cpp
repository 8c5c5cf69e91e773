#include "licence.h"

#include <array>
#include <string>

#include "page_cuts.h"
#include "text_rules.h"

namespace wtk::text {

namespace {

struct LicenceWord {
    std::string_view word;
    TLicenceKind kind;
};

// Compared in this order, whole and byte for byte, after lower-casing A to Z.
constexpr std::array<LicenceWord, 10> kLicenceWords{{
    {"shareware", lkShareware},
    {"freeware", lkFreeware},
    {"adware", lkAdware},
    {"demonstracyjna", lkDemo},
    {"demo", lkDemo},
    {"pełna", lkFull},
    {"ewaluacyjna", lkTrial},
    {"trial", lkTrial},
    {"pełna wersja", lkFull},
    {"gpl", lkGpl},
}};

constexpr std::string_view kLicenceMarker = "licencja_text>";

}  // namespace

TLicenceKind ClassifyLicence(std::string_view word) {
    const std::string lowered = LowerAscii(word);
    for (const LicenceWord& candidate : kLicenceWords) {
        if (lowered == candidate.word) {
            return candidate.kind;
        }
    }
    return lkUnspecified;
}

TLicenceKind ExtractLicenceKind(std::string_view page) {
    // The licence text starts right behind the marker (at character 14 when there is none) and
    // ends before the next tag, at the latest before the page's last character.
    const int64_t p = static_cast<int64_t>(Pos(kLicenceMarker, page));
    const int64_t start = p + Length(kLicenceMarker);
    const std::string_view licence = TextBeforeNextTag(Copy(page, start, Length(page) - start));
    return ClassifyLicence(Trim(licence));
}

}  // namespace wtk::text
