#include "page_fields.h"

#include <cstdint>

#include "page_cuts.h"
#include "text_rules.h"

namespace wtk::text {

namespace {

constexpr std::string_view kNameDivision = "<div id=l_nazwaprogramu ><FONT";
// From the marker's start to the "O" of its "FONT".
constexpr int64_t kNameDivisionToFont = 27;
constexpr std::string_view kParagraph = "<p ";
constexpr std::string_view kTagEnd = ">";
constexpr std::string_view kTitleStart = "<TITLE>";
constexpr std::string_view kTitleEnd = "</TITLE>";
constexpr std::string_view kDescriptionMarker =
    "<font face=\"Arial\" size=\"2\" ><div style=\"margin-top: 10 ; margin-left : 6px; margin-right : 6px;\" >";
static_assert(kDescriptionMarker.size() == 99);

// ISO 8859-2 bytes of ą, ś, Ś and the Windows-1250 bytes that replace them.
constexpr char kIsoSmallAOgonek = '\xB1', kCpSmallAOgonek = '\xB9';
constexpr char kIsoSmallSAcute = '\xB6', kCpSmallSAcute = '\x9C';
constexpr char kIsoCapitalSAcute = '\xA6', kCpCapitalSAcute = '\x8C';

// S from character start up to, not including, its last character.
std::string_view FromPositionBeforeLast(std::string_view s, int64_t start) { return Copy(s, start, Length(s) - start); }

std::string Converted(std::string_view s) {
    std::string text(s);
    FixPolishLetters(text);
    return text;
}

// The name text is the text before the next tag; the description is the text of the next
// paragraph ("<p ") behind it.
void ExtractNameAndNextParagraph(std::string_view s, std::string& nameVersion, std::string& description) {
    nameVersion = Converted(TextBeforeNextTag(s));

    DeleteFront(s, Pos(kParagraph, s));
    const int64_t q = static_cast<int64_t>(Pos(kTagEnd, s));
    s = FromPositionBeforeLast(s, q + 1);
    description = Converted(Trim(TextBeforeNextTag(s)));
}

void ExtractDivisionLayout(std::string_view page, std::string& nameVersion, std::string& description) {
    const int64_t p = static_cast<int64_t>(Pos(kNameDivision, page));
    std::string_view s = FromPositionBeforeLast(page, p + kNameDivisionToFont);
    CutAfter(s, kTagEnd);
    ExtractNameAndNextParagraph(s, nameVersion, description);
}

void ExtractParagraphLayout(std::string_view page, std::string& nameVersion, std::string& description) {
    // Without a paragraph the whole page is taken, its last character included.
    const int64_t p = static_cast<int64_t>(Pos(kParagraph, page));
    std::string_view s = Copy(page, p, Length(page) - p);
    CutAfter(s, kTagEnd);
    ExtractNameAndNextParagraph(s, nameVersion, description);
}

void ExtractTitleLayout(std::string_view page, std::string& nameVersion, std::string& description) {
    const int64_t p = static_cast<int64_t>(Pos(kTitleStart, page));
    std::string_view s = FromPositionBeforeLast(page, p + Length(kTitleStart));

    nameVersion = Converted(s.substr(0, s.find(kTitleEnd)));

    // Everything up to the marker's last character goes; without the marker, its length less one.
    DeleteFront(s, Pos(kDescriptionMarker, s) + kDescriptionMarker.size() - 1);
    description = Converted(Trim(TextBeforeNextTag(s)));
}

}  // namespace

void FixPolishLetters(std::string& s) {
    for (char& c : s) {
        if (c == kIsoSmallAOgonek) {
            c = kCpSmallAOgonek;
        } else if (c == kIsoSmallSAcute) {
            c = kCpSmallSAcute;
        } else if (c == kIsoCapitalSAcute) {
            c = kCpCapitalSAcute;
        }
    }
}

void ExtractProgramFields(std::string_view page, PageLayout layout, std::string& nameVersion,
                          std::string& description) {
    switch (layout) {
        case PageLayout::Division: ExtractDivisionLayout(page, nameVersion, description); break;
        case PageLayout::Paragraph: ExtractParagraphLayout(page, nameVersion, description); break;
        case PageLayout::Title: ExtractTitleLayout(page, nameVersion, description); break;
    }
}

}  // namespace wtk::text
