// Letter case and diacritics folded out of UTF-8 text, the way people expect names to match:
// "SETUP.EXE" and "setup.exe" are one name, and a search for "zrodlo" finds "Źródło".
#pragma once

#include <string>
#include <string_view>

namespace wertowik {

// ASCII and the Latin letters of U+00C0 to U+017F in lower case; everything else as it is.
std::string LowerCaseUtf8(std::string_view utf8);

// LowerCaseUtf8, and those Latin letters without their diacritics and strokes (ł and Ł become l,
// ó and Ó become o): what a search compares.
std::string FoldForSearch(std::string_view utf8);

// Text as the search index sees it: ł, Ł, đ, Đ become l, L, d, D (letters with a stroke have no
// decomposition, so the tokenizer's diacritics folding leaves them). Applied to what is indexed and
// to every query alike.
std::string FoldStrokes(std::string_view utf8);

// Whether a folded name matches a folded pattern of * (any run of characters, none included) and
// ? (one character); every other character stands for itself.
bool GlobMatches(std::string_view pattern, std::string_view name);

}  // namespace wertowik
