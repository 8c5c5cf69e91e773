// Program pages in the three layouts of the Komputer Świat discs, for tests that build discs.
#pragma once

#include <string>

namespace wtk::test {

// Pages in the three layouts the discs use; the licence word stands behind the licence marker.
inline std::string ParagraphPage(const std::string& nameVersion, const std::string& description,
                                 const std::string& licence) {
    return "<html><body>\r\n<p class=nazwa>" + nameVersion + "</p>\r\n<p class=opis>" + description +
           "</p>\r\n<td class=licencja_text>" + licence + "</td>\r\n</body></html>\r\n";
}

inline std::string DivisionPage(const std::string& nameVersion, const std::string& description,
                                const std::string& licence) {
    return "<html><body>\r\n<div id=l_nazwaprogramu ><FONT face=Arial size=3>" + nameVersion +
           "</FONT></div>\r\n<p class=opis>" + description + "</p>\r\n<span class=licencja_text>" + licence +
           "</span>\r\n</body></html>\r\n";
}

inline const std::string kDescriptionMarker =
    "<font face=\"Arial\" size=\"2\" ><div style=\"margin-top: 10 ; margin-left : 6px; margin-right : 6px;\" >";

inline std::string TitlePage(const std::string& nameVersion, const std::string& description,
                             const std::string& licence) {
    return "<HTML><HEAD><TITLE>" + nameVersion + "</TITLE></HEAD><BODY>\r\n" + kDescriptionMarker + "  " + description +
           "<br></div></font>\r\n<b class=licencja_text>" + licence + "</b>\r\n</BODY></HTML>\r\n";
}

}  // namespace wtk::test
