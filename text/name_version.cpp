#include "name_version.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
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

bool StartsWithAny(std::string_view version, const auto& tags) {
    for (std::string_view tag : tags) {
        if (StartsWith(version, tag)) {
            return true;
        }
    }
    return false;
}

// Whether s holds the page reference "str" anywhere: the library's search finds each "s" (most
// titles have none or one) faster than a walk compares every byte.
bool HoldsPageReference(std::string_view s) {
    const char* at = s.data();
    const char* const end = s.data() + s.size();
    while (end - at >= 3) {
        const void* found = std::memchr(at, 's', static_cast<std::size_t>(end - at - 2));
        if (found == nullptr) {
            return false;
        }
        at = static_cast<const char*>(found);
        if (at[1] == 't' && at[2] == 'r') {
            return true;
        }
        ++at;
    }
    return false;
}

// The name and version as std::strings that the rules change in place: a move takes its room
// before the name changes, so that running out of memory leaves both as they were.
class StringParts {
public:
    StringParts(std::string& name, std::string& version) : name_(name), version_(version) {}
    std::string_view Name() const { return name_; }
    std::string_view Version() const { return version_; }
    void Move(std::size_t n) { wtk::text::Move(name_, version_, n); }
    bool HoldPageReference() const { return HoldsPageReference(name_) || HoldsPageReference(version_); }

private:
    std::string& name_;
    std::string& version_;
};

// The name and version as views. The version is a view of the title or of a blanked copy, and a move
// only drops its front. The name is a view of the title while a move only takes it up to a later
// byte of the title: when the name is followed by one space and then the version there, as in
// "Album 2000/XP 2.1". Otherwise a move copies the name into `room` (kept from title to title, so
// that it seldom grows) and appends to it there.
class ViewParts {
public:
    ViewParts(std::string_view title, std::string_view name, std::string_view version, std::string& room)
        : title_(title), name_(name), version_(version), room_(room) {}
    std::string_view Name() const { return name_; }
    std::string_view Version() const { return version_; }
    // Whether the name or the version holds "str": then so does the title, and the other way round.
    // Their bytes are the title's but for blanks and version markers, which "str" does not hold,
    // and a move never cuts an "str" in two: what it moves ends with a tag's last byte or "%".
    bool HoldPageReference() const { return HoldsPageReference(title_); }
    bool Moved() const { return moved_; }
    void Move(std::size_t n) {
        moved_ = true;
        const std::size_t moved = std::min(n, version_.size());
        if (GrowsInTitle()) {
            name_ = std::string_view(name_.data(), name_.size() + 1 + moved);
            version_.remove_prefix(moved);
            return;
        }
        if (nameInTitle_) {
            room_.assign(name_);
            nameInTitle_ = false;
        }
        room_ += ' ';
        room_.append(version_.data(), moved);
        name_ = room_;
        version_.remove_prefix(moved);
    }

private:
    // Whether name, a space and the version stand one after another in the title.
    bool GrowsInTitle() const {
        if (!nameInTitle_) {
            return false;
        }
        const auto gap = static_cast<std::size_t>(name_.data() - title_.data()) + name_.size();
        return gap + 1 < title_.size() && title_[gap] == ' ' && version_.data() == title_.data() + gap + 1;
    }

    std::string_view title_;
    std::string_view name_;
    std::string_view version_;
    std::string& room_;
    bool nameInTitle_ = true;
    bool moved_ = false;
};

// A four-digit number beginning with "20" that stands alone or before a space is a year.
template <class Parts>
void MoveYear(Parts& parts) {
    const std::string_view version = parts.Version();
    if (version.size() < 4 || !StartsWith(version, "20") || !IsDigit(version[2]) || !IsDigit(version[3])) {
        return;
    }
    if (version.size() == 4) {
        parts.Move(version.size());
    } else if (version.size() > 5 && version[4] == ' ') {
        parts.Move(4);
    }
}

template <class Parts>
void MoveTwoCharacterTag(Parts& parts) {
    const std::string_view version = parts.Version();
    if (!StartsWithAny(version, kTwoCharacterTags)) {
        return;
    }
    if (version.size() > 2 && version[2] == ' ') {
        parts.Move(2);
    } else if (version.size() == 2) {
        parts.Move(version.size());
    }
}

// Whether the version may begin with a tag: every tag is two bytes or longer, and begins with
// "20", "2k", "NT", "95", "98", "9x", "4i", "XP", "16" or "32".
bool MayBeginWithTag(std::string_view version) {
    if (version.size() < 2) {
        return false;
    }
    const char first = version[0];
    const char second = version[1];
    switch (first) {
        case '2': return second == '0' || second == 'k';
        case '9': return second == '5' || second == '8' || second == 'x';
        case 'N': return second == 'T';
        case '4': return second == 'i';
        case 'X': return second == 'P';
        case '1': return second == '6';
        case '3': return second == '2';
        default: return false;
    }
}

// The tag rules, each once. A version that does not begin with a tag's first two bytes meets none
// of them (no rule moves anything that could change its front), and most versions do not.
template <class Parts>
void MoveTags(Parts& parts) {
    // After a move the version usually begins with a blank, and the rules behind are passed by.
    const auto tagsLeft = [&parts] { return MayBeginWithTag(parts.Version()); };
    if (!tagsLeft()) {
        return;
    }
    if (StartsWithAny(parts.Version(), kTwelveCharacterTags)) {
        parts.Move(12);
        if (!tagsLeft()) {
            return;
        }
    }
    for (const std::string_view tag : {kWindowsNtTag, kWindows2000Tag, kWindows9xTag, kFourInOneTag}) {
        if (StartsWith(parts.Version(), tag)) {
            parts.Move(tag.size());
            if (!tagsLeft()) {
                return;
            }
        }
    }
    MoveYear(parts);
    MoveTwoCharacterTag(parts);
}

// Platform and edition tags at the front of the version go back to the name, each rule once; then
// the version up to a percent sign, and all of it when either part holds a page reference.
template <class Parts>
void ApplyTagRules(Parts& parts) {
    MoveTags(parts);
    if (const std::size_t percent = parts.Version().find('%'); percent != std::string_view::npos) {
        parts.Move(percent + 1);  // up to and with the sign
    }
    if (parts.HoldPageReference()) {
        parts.Move(parts.Version().size());
    }
}

// Whether the version behind the split point holds a version marker to blank: a "." is blanked only
// behind a "v" or "V" of the version itself (the byte at the split point is not a marker before
// a digit, as the version starts with one).
bool HoldsMarker(std::string_view version) {
    for (const char c : version) {
        if (IsVersionMarker(c)) {
            return true;
        }
    }
    return false;
}

// The version behind the split point as TakeVersionPart gives it, as a view of the title when it
// holds no marker, else of a blanked copy in `room`.
std::string_view VersionView(std::string_view title, std::size_t split, std::string& room) {
    std::string_view version = title.substr(split + 1);
    if (HoldsMarker(version)) {
        TakeVersionPart(title, split, room);
        return room;
    }
    return version.substr(0, Trim(version).size());
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

        StringParts parts(name, version);
        ApplyTagRules(parts);

        TrimInPlace(name);
        TrimInPlace(version);
    } catch (const std::bad_alloc&) {
        ShowExclamationNotice(kSplitFailureMessage);
    }
}

NameVersionSplitter::Parts NameVersionSplitter::Split(std::string_view title) {
    if (title.empty()) {
        throw PluginError(kEmptyTextMessage);
    }
    const std::size_t split = FindSplitPoint(title);
    if (split == std::string_view::npos) {
        return {title, std::string_view()};
    }
    try {
        ViewParts parts(title, NamePart(title, split), VersionView(title, split, version_), name_);
        ApplyTagRules(parts);
        // Both parts come trimmed; only a move can leave blanks at their ends.
        return parts.Moved() ? Parts{Trim(parts.Name()), Trim(parts.Version())} : Parts{parts.Name(), parts.Version()};
    } catch (const std::bad_alloc&) {
        ShowExclamationNotice(kSplitFailureMessage);
        return {title, std::string_view()};
    }
}

}  // namespace wtk::text
