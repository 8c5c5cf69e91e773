// Cuts the name-and-version text and the description out of a program page.
#pragma once

#include <string>
#include <string_view>

namespace wtk::text {

enum class PageLayout {
    Division,   // name in "<div id=l_nazwaprogramu ><FONT", description in the next "<p "
    Paragraph,  // name in the first "<p ", description in the next one
    Title,      // name in <TITLE>, description after the long font-and-division marker
};

// Converts the three ISO 8859-2 letters ą, ś, Ś to their Windows-1250 bytes, in place.
void FixPolishLetters(std::string& s);

// page is the page text (lines joined with CR LF). nameVersion is set first, description last.
void ExtractProgramFields(std::string_view page, PageLayout layout, std::string& nameVersion, std::string& description);

}  // namespace wtk::text
