// SplitNameVersion on any text. What must hold whatever the text:
// - an empty text throws the routine's own error and leaves both outputs as they were;
// - the version has no blank at either end; the name is the text unchanged, or has none either;
// - nothing but blanks and version markers ("v", "V", the "." of "v.") is lost or gained: without
//   their blanks, name and version together are the text with some markers left out;
// - a version that does not begin with a digit stands behind a tag that went back to the name
//   (the name then ends with that tag, with a year "20dd", or with "%");
// - a version is left only when "str" is in neither part;
// - the text may be the name variable itself, with the same outcome.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "contract/errors.h"
#include "fuzz_check.h"
#include "text/name_version.h"

namespace {

using wtk::fuzz::IsBlank;
using wtk::fuzz::Require;

const std::string kEmptyTextMessage =
    "B\xB3\xB9"
    "d przy rozdzielaniu nazwy";

constexpr std::array<std::string_view, 14> kTags{"2000/2003/XP", "2000/XP/2003", "NT/2000/XP", "2000/XP", "95/98",
                                                 "4in1",         "2k",           "NT",         "XP",      "16",
                                                 "9x",           "95",           "98",         "32"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string WithoutBlanks(std::string_view s) {
    std::string kept;
    for (char c : s) {
        if (!IsBlank(c)) kept += c;
    }
    return kept;
}

// Whether shorter is longer with some "v", "V" and "." characters left out.
bool IsWithMarkersLeftOut(std::string_view longer, std::string_view shorter) {
    std::size_t j = 0;
    for (char c : longer) {
        if (j < shorter.size() && shorter[j] == c) {
            ++j;
        } else if (c != 'v' && c != 'V' && c != '.') {
            return false;
        }
    }
    return j == shorter.size();
}

bool EndsWithMovedTag(std::string_view name) {
    for (std::string_view tag : kTags) {
        if (name.ends_with(tag)) return true;
    }
    if (name.ends_with("%")) return true;
    const std::size_t n = name.size();
    return n >= 4 && name.substr(n - 4, 2) == "20" && IsDigit(name[n - 2]) && IsDigit(name[n - 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(wtk::fuzz::AsText(data, size));
    std::string name = "name before", version = "version before";
    if (text.empty()) {
        bool thrown = false;
        try {
            wtk::text::SplitNameVersion(text, name, version);
        } catch (const wtk::PluginError& error) {
            thrown = error.what() == kEmptyTextMessage;
        }
        Require(thrown, "an empty text throws the routine's error");
        Require(name == "name before" && version == "version before", "an empty text leaves the outputs alone");
        return 0;
    }

    wtk::text::SplitNameVersion(text, name, version);
    Require(wtk::fuzz::HasNoBlankEnds(version), "the version has no blank at either end");
    Require(name == text || wtk::fuzz::HasNoBlankEnds(name), "the name is the text, or has no blank at either end");
    if (!version.empty()) {
        Require(wtk::fuzz::HasNoBlankEnds(name), "a split name has no blank at either end");
        Require(IsDigit(version.front()) || EndsWithMovedTag(name),
                "a version begins with a digit unless a tag went back to the name");
        Require(name.find("str") == std::string::npos && version.find("str") == std::string::npos,
                "a page reference leaves no version");
    }
    Require(IsWithMarkersLeftOut(WithoutBlanks(text), WithoutBlanks(name + version)),
            "only blanks and version markers are dropped, and nothing is added");

    std::string same = text, sameVersion;
    wtk::text::SplitNameVersion(same, same, sameVersion);
    Require(same == name && sameVersion == version, "the text may be the name variable");
    return 0;
}
