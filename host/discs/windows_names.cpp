#include "host/discs/windows_names.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace wertowik {

namespace {

constexpr std::array<unsigned char, 256> MakeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = static_cast<unsigned char>(c);
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        table[c] = static_cast<unsigned char>(c - 32);
    }
    // š ś ť ž ź, ł, ą, ľ, ż and the Latin-2 letters from à to ţ.
    table[0x9A] = 0x8A;
    table[0x9C] = 0x8C;
    table[0x9D] = 0x8D;
    table[0x9E] = 0x8E;
    table[0x9F] = 0x8F;
    table[0xB3] = 0xA3;
    table[0xB9] = 0xA5;
    table[0xBE] = 0xBC;
    table[0xBF] = 0xAF;
    for (int c = 0xE0; c <= 0xFE; ++c) {
        if (c != 0xF7) {
            table[c] = static_cast<unsigned char>(c - 0x20);
        }
    }
    return table;
}

constexpr std::array<unsigned char, 256> kUpper = MakeUpperTable();

char Upper(char c) { return static_cast<char>(kUpper[static_cast<unsigned char>(c)]); }

bool ValidShortChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
        return true;
    }
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr && c != '\0';
}

bool IsValidShortName(std::string_view name) {
    if (name == "." || name == "..") {
        return true;
    }
    const std::size_t dot = name.find('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string_view::npos) {
        return false;
    }
    if (dot != std::string_view::npos && ext.empty()) {
        return false;
    }
    return std::all_of(base.begin(), base.end(), ValidShortChar) && std::all_of(ext.begin(), ext.end(), ValidShortChar);
}

// Plain wildcard match, both texts already folded: * any run, ? one character.
bool Wildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

std::string FoldCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = Upper(c);
    }
    return folded;
}

std::string ShortName(std::string_view name) {
    if (IsValidShortName(name)) {
        return std::string();
    }
    const std::size_t lastDot = name.rfind('.');
    const bool hasExtension = lastDot != std::string_view::npos && lastDot > 0;
    const std::string_view stem = hasExtension ? name.substr(0, lastDot) : name;
    const std::string_view extension = hasExtension ? name.substr(lastDot + 1) : std::string_view();
    std::string base;
    for (char c : stem) {
        if (ValidShortChar(c) && base.size() < 6) {
            base += Upper(c);
        }
    }
    if (base.empty()) {
        base = "_";
    }
    std::string shortName = base + "~1";
    std::string ext;
    for (char c : extension) {
        if (ValidShortChar(c) && ext.size() < 3) {
            ext += Upper(c);
        }
    }
    if (!ext.empty()) {
        shortName += "." + ext;
    }
    return shortName;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
    std::string folded = FoldCase(pattern);
    // "*.*" lists every name, also those without a dot.
    if (folded.size() >= 2 && folded.compare(folded.size() - 2, 2, ".*") == 0 &&
        folded.find_first_not_of('*') == folded.size() - 2) {
        folded = "*";
    }
    if (Wildcard(folded, FoldCase(name))) {
        return true;
    }
    const std::string shortName = ShortName(name);
    return !shortName.empty() && Wildcard(folded, shortName);
}

bool AttributesFit(uint32_t attributes, uint32_t mask) {
    constexpr uint32_t kSpecial = 0x02 | 0x04 | 0x08 | 0x10;  // hidden, system, volume, directory
    return (attributes & kSpecial & ~mask) == 0;
}

// Compared a byte at a time without making the folded copies: a listing of a hundred thousand
// names is sorted with this, two million comparisons.
bool NameOrder(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto foldedA = static_cast<unsigned char>(Upper(a[i]));
        const auto foldedB = static_cast<unsigned char>(Upper(b[i]));
        if (foldedA != foldedB) {
            return foldedA < foldedB;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

}  // namespace wertowik
