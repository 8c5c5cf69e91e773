// ExtractProgramFields in its three layouts on any page, both as the plug-ins load a page (lines
// joined with CR LF) and as raw bytes. What must hold in every layout:
// - both texts are pieces of the page, with the three ISO 8859-2 letters converted (so neither
//   holds the bytes B1, B6 or A6 any more);
// - the description holds no "<" and has no blank at either end;
// - the name-and-version text holds no "<" (division and paragraph layouts) or no "</TITLE>" (title layout).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/page_fields.h"
#include "text/page_text.h"

namespace {

using wtk::fuzz::Require;
using wtk::text::PageLayout;

bool HoldsIsoLetters(std::string_view s) { return s.find_first_of("\xB1\xB6\xA6") != std::string_view::npos; }

void Check(std::string_view page, PageLayout layout) {
    std::string nameVersion = "before", description = "before";
    wtk::text::ExtractProgramFields(page, layout, nameVersion, description);

    std::string converted(page);
    wtk::text::FixPolishLetters(converted);
    Require(converted.find(nameVersion) != std::string::npos, "the name-and-version text is a piece of the page");
    Require(converted.find(description) != std::string::npos, "the description is a piece of the page");
    Require(!HoldsIsoLetters(nameVersion) && !HoldsIsoLetters(description), "the ISO 8859-2 letters are converted");
    Require(description.find('<') == std::string::npos, "the description ends before the next tag");
    Require(wtk::fuzz::HasNoBlankEnds(description), "the description is trimmed");
    if (layout == PageLayout::Title) {
        Require(nameVersion.find("</TITLE>") == std::string::npos, "the title ends at </TITLE>");
    } else {
        Require(nameVersion.find('<') == std::string::npos, "the name-and-version text ends before the next tag");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view raw = wtk::fuzz::AsText(data, size);
    const std::string page = wtk::text::PageText(raw);
    for (const PageLayout layout : {PageLayout::Division, PageLayout::Paragraph, PageLayout::Title}) {
        Check(page, layout);
        Check(raw, layout);
    }
    return 0;
}
