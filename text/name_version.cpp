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

// Keeps `count` bytes of s from `first` on, without new room; most titles need no cut at all.
void KeepOnly(std::string& s, std::size_t first, std::size_t count) {
    if (first + count != s.size()) {
        s.erase(first + count);
    }
    if (first != 0) {
        s.erase(0, first);
    }
}

// Removes the blanks Trim would leave out, without new room.
void TrimInPlace(std::string& s) {
    const std::string_view trimmed = Trim(s);
    const std::size_t first = trimmed.empty() ? 0 : static_cast<std::size_t>(trimmed.data() - s.data());
    KeepOnly(s, first, trimmed.size());
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

// Whether the byte at i of the title reads as a space when the title is split: a "v" or "V" before
// a digit, and both bytes of "v." before a digit, are version markers and count as spaces.
bool IsBlankedMarker(std::string_view title, std::size_t i) {
    const std::size_t n = title.size();
    if (IsVersionMarker(title[i])) {
        return (i + 1 < n && IsDigit(title[i + 1])) || (i + 2 < n && title[i + 1] == '.' && IsDigit(title[i + 2]));
    }
    return title[i] == '.' && i >= 1 && i + 1 < n && IsVersionMarker(title[i - 1]) && IsDigit(title[i + 1]);
}

// The index of the first space (a marker counting as one) after the first character that is
// followed by a digit, or npos.
std::size_t FindSplitPoint(std::string_view title) {
    for (std::size_t i = 1; i + 1 < title.size(); ++i) {
        if (!IsDigit(title[i + 1])) {
            continue;
        }
        const char c = title[i];
        if (c == ' ' || IsVersionMarker(c) || (c == '.' && IsVersionMarker(title[i - 1]))) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The name in front of the split point, trimmed. Before the split point a marker can only stand
// first (a marker further on would have been the split point) or just before it (the "v" of a
// "v." that is the split point); both fall to the trimming.
std::string_view NamePart(std::string_view title, std::size_t split) {
    const std::size_t begin = IsBlankedMarker(title, 0) ? 1 : 0;
    const std::size_t end = IsBlankedMarker(title, split - 1) ? split - 1 : split;
    return begin < end ? Trim(title.substr(begin, end - begin)) : title.substr(0, 0);
}

// The version behind the split point: its markers become spaces, the trailing blanks go (it starts
// with a digit).
void TakeVersionPart(std::string_view title, std::size_t split, std::string& version) {
    const std::size_t from = split + 1;
    version.assign(title.substr(from));
    for (std::size_t i = from; i < title.size(); ++i) {
        const char c = title[i];
        if ((IsVersionMarker(c) || c == '.') && IsBlankedMarker(title, i)) {
            version[i - from] = ' ';
        }
    }
    version.erase(Trim(version).size());
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

// Whether s holds the needle anywhere: the versions and names are a few bytes long, so a plain walk
// over them settles it sooner than a library search starts.
bool Holds(std::string_view s, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
        if (s[i] == needle[0] && StartsWith(s.substr(i), needle)) {
            return true;
        }
    }
    return false;
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
    if (const std::size_t percent = version.find('%'); percent != std::string::npos) {
        Move(name, version, percent + 1);  // up to and with the sign
    }
    if (Holds(name, kPageReference) || Holds(version, kPageReference)) {
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
        // them so or further on, never as they were before the call. text may be a view of name,
        // so the title is read from name from here on.
        name.assign(text);
        version.clear();
        const std::size_t split = FindSplitPoint(name);
        if (split == std::string::npos) {
            return;
        }
        TakeVersionPart(name, split, version);
        const std::string_view namePart = NamePart(name, split);
        const std::size_t first = static_cast<std::size_t>(namePart.data() - name.data());
        KeepOnly(name, first, namePart.size());

        ApplyTagRules(name, version);

        TrimInPlace(name);
        TrimInPlace(version);
    } catch (const std::bad_alloc&) {
        ShowExclamationNotice(kSplitFailureMessage);
    }
}

}  // namespace wtk::text
