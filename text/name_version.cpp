#include "name_version.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>

#include "contract/errors.h"
#include "contract/notices.h"
#include "text_rules.h"

namespace wtk::text {

namespace {

constexpr char kEmptyTextMessage[] = "Błąd przy rozdzielaniu nazwy";
constexpr char kSplitFailureMessage[] =
    "Wystąpił błąd przy rozdzielanie nazwy i wersji programu. Proszę skontaktować się z autorem.";

constexpr std::array<std::string_view, 2> kTwelveCharacterTags{"2000/2003/XP", "2000/XP/2003"};
constexpr std::string_view kWindowsNtTag = "NT/2000/XP";
constexpr std::string_view kWindows2000Tag = "2000/XP";
constexpr std::string_view kWindows9xTag = "95/98";
constexpr std::string_view kFourInOneTag = "4in1";
constexpr std::array<std::string_view, 8> kTwoCharacterTags{"2k", "NT", "XP", "16", "9x", "95", "98", "32"};
constexpr std::string_view kPageReference = "str";

// Removes the blanks Trim would leave out, without new room.
void TrimInPlace(std::string& s) {
    const std::string_view trimmed = Trim(s);
    const std::size_t first = trimmed.empty() ? 0 : static_cast<std::size_t>(trimmed.data() - s.data());
    s.erase(first + trimmed.size());
    s.erase(0, first);
}

bool IsVersionMarker(char c) { return c == 'v' || c == 'V'; }

// name + " " + the first n characters of the version; those characters leave the version. The
// room is taken before the name changes, so that running out of memory leaves both as they were.
void Move(std::string& name, std::string& version, std::size_t n) {
    const std::size_t moved = std::min(n, version.size());
    name.reserve(name.size() + 1 + moved);
    name.append(" ");
    name.append(version, 0, moved);
    version.erase(0, moved);
}

void MoveAll(std::string& name, std::string& version) { Move(name, version, version.size()); }

// A "v" or "V" before a digit becomes a space; "v." before a digit becomes two spaces.
// Positions are 0-based here; i runs over the characters that have a successor.
void BlankVersionMarkers(std::string& working) {
    for (std::size_t i = 0; i + 1 < working.size(); ++i) {
        if (IsVersionMarker(working[i]) && IsDigit(working[i + 1])) {
            working[i] = ' ';
        }
        if (i >= 1 && IsVersionMarker(working[i - 1]) && working[i] == '.' && IsDigit(working[i + 1])) {
            working[i - 1] = ' ';
            working[i] = ' ';
        }
    }
}

// 0-based index of the first space after the first character that is followed by a digit.
std::size_t FindSplitPoint(const std::string& working) {
    for (std::size_t i = 1; i + 1 < working.size(); ++i) {
        if (working[i] == ' ' && IsDigit(working[i + 1])) {
            return i;
        }
    }
    return std::string::npos;
}

// Whether s begins with the prefix. The tags are a few bytes long and most versions differ from
// them in the first or second byte: a plain walk settles that sooner than a library comparison.
bool StartsWith(std::string_view s, std::string_view prefix) {
    if (prefix.size() > s.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (s[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool StartsWithAny(std::string_view version, const auto& tags) {
    for (std::string_view tag : tags) {
        if (StartsWith(version, tag)) {
            return true;
        }
    }
    return false;
}

// A four-digit number beginning with "20" that stands alone or before a space is a year.
void MoveYear(std::string& name, std::string& version) {
    if (version.size() < 4 || !StartsWith(version, "20") || !IsDigit(version[2]) || !IsDigit(version[3])) {
        return;
    }
    if (version.size() == 4) {
        MoveAll(name, version);
    } else if (version.size() > 5 && version[4] == ' ') {
        Move(name, version, 4);
    }
}

void MoveTwoCharacterTag(std::string& name, std::string& version) {
    if (!StartsWithAny(version, kTwoCharacterTags)) {
        return;
    }
    if (version.size() > 2 && version[2] == ' ') {
        Move(name, version, 2);
    } else if (version.size() == 2) {
        MoveAll(name, version);
    }
}

// Platform and edition tags at the front of the version go back to the name, each rule once.
void ApplyTagRules(std::string& name, std::string& version) {
    if (StartsWithAny(version, kTwelveCharacterTags)) {
        Move(name, version, 12);
    }
    if (StartsWith(version, kWindowsNtTag)) {
        Move(name, version, kWindowsNtTag.size());
    }
    if (StartsWith(version, kWindows2000Tag)) {
        Move(name, version, kWindows2000Tag.size());
    }
    if (StartsWith(version, kWindows9xTag)) {
        Move(name, version, kWindows9xTag.size());
    }
    if (StartsWith(version, kFourInOneTag)) {
        Move(name, version, kFourInOneTag.size());
    }
    MoveYear(name, version);
    MoveTwoCharacterTag(name, version);
    if (const std::size_t percent = Pos("%", version); percent != 0) {
        Move(name, version, percent);
    }
    if (Pos(kPageReference, name) != 0 || Pos(kPageReference, version) != 0) {
        MoveAll(name, version);
    }
}

}  // namespace

void SplitNameVersion(std::string_view text, std::string& name, std::string& version) {
    if (text.empty()) {
        throw PluginError(kEmptyTextMessage);
    }
    try {
        // The outputs are set first: name := text, version := empty. Whatever fails later leaves
        // them so or further on, never as they were before the call. text may be a view of name.
        name.assign(text);
        version.clear();
        // The version's room holds the working copy, with its version markers blanked; the
        // outputs keep their room from call to call.
        std::string& working = version;
        working.assign(name);
        BlankVersionMarkers(working);
        const std::size_t split = FindSplitPoint(working);
        if (split == std::string::npos) {
            version.clear();
            return;
        }
        name.assign(Trim(std::string_view(working).substr(0, split + 1)));
        working.erase(0, split + 1);
        TrimInPlace(version);

        ApplyTagRules(name, version);

        TrimInPlace(name);
        TrimInPlace(version);
    } catch (const std::bad_alloc&) {
        ShowExclamationNotice(kSplitFailureMessage);
    }
}

}  // namespace wtk::text
