// ExtractLicenceKind on any page text and ClassifyLicence on any word. What must hold:
// - the code is one of 0 to 7;
// - a code other than 0 means the page holds one of that code's words (letter case aside);
// - ClassifyLicence gives a code other than 0 only for a text that is one of the words after
//   lower-casing A to Z, and the same code for the text in upper case (A to Z);
// - behind the marker and before the next tag, the page's licence text is classified whole and trimmed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "text/licence.h"
#include "text/text_rules.h"

namespace {

using wtk::fuzz::Require;

// The words of each code, lower case, Windows-1250.
const std::vector<std::vector<std::string>> kWords{
    {},
    {"shareware"},
    {"freeware"},
    {"demonstracyjna", "demo"},
    {"pe\xB3na", "pe\xB3na wersja"},
    {"ewaluacyjna", "trial"},
    {"gpl"},
    {"adware"},
};

std::string UpperAscii(std::string_view s) {
    std::string upper(s);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool HoldsAWordOf(std::string_view lowered, int code) {
    for (const std::string& word : kWords[code]) {
        if (lowered.find(word) != std::string_view::npos) return true;
    }
    return false;
}

bool IsAWordOf(std::string_view lowered, int code) {
    for (const std::string& word : kWords[code]) {
        if (lowered == word) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = wtk::fuzz::AsText(data, size);
    const std::string lowered = wtk::text::LowerAscii(text);

    const int extracted = wtk::text::ExtractLicenceKind(text);
    Require(extracted >= 0 && extracted <= 7, "a licence code is 0 to 7");
    Require(extracted == 0 || HoldsAWordOf(lowered, extracted), "a licence code comes from a word on the page");

    const int classified = wtk::text::ClassifyLicence(text);
    Require(classified >= 0 && classified <= 7, "a licence code is 0 to 7");
    Require(classified == 0 || IsAWordOf(lowered, classified), "only a whole word is classified");
    Require(wtk::text::ClassifyLicence(UpperAscii(text)) == classified, "letter case A to Z does not matter");

    // The licence text right behind the marker, closed by a tag: classified whole, once trimmed.
    std::string word(text);
    std::erase(word, '<');
    const std::string page = "licencja_text>" + word + "</td>\r\n";
    Require(wtk::text::ExtractLicenceKind(page) == wtk::text::ClassifyLicence(wtk::text::Trim(word)),
            "the text behind the marker is the licence text");
    return 0;
}
