#include "host/base/display_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "host/base/cp1250.h"
#include "host/base/utf8.h"

namespace wertowik {

namespace {

// The HTML names of U+00A0 to U+00FF, in order.
constexpr std::array<std::string_view, 96> kLatin1Names{
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedEntity {
    std::string_view name;
    char32_t code;
};

constexpr NamedEntity kOtherNames[] = {
    {"amp", U'&'},        {"lt", U'<'},          {"gt", U'>'},          {"quot", U'"'},        {"apos", U'\''},
    {"ndash", U'\u2013'}, {"mdash", U'\u2014'},  {"lsquo", U'\u2018'},  {"rsquo", U'\u2019'},  {"sbquo", U'\u201A'},
    {"ldquo", U'\u201C'}, {"rdquo", U'\u201D'},  {"bdquo", U'\u201E'},  {"hellip", U'\u2026'}, {"bull", U'\u2022'},
    {"euro", U'\u20AC'},  {"trade", U'\u2122'},  {"dagger", U'\u2020'}, {"permil", U'\u2030'}, {"OElig", U'\u0152'},
    {"oelig", U'\u0153'}, {"Scaron", U'\u0160'}, {"scaron", U'\u0161'}, {"Yuml", U'\u0178'},   {"ensp", U'\u2002'},
    {"emsp", U'\u2003'},  {"thinsp", U'\u2009'}, {"lsaquo", U'\u2039'}, {"rsaquo", U'\u203A'},
};

constexpr std::size_t kLongestName = 8;

// The character of a numeric reference's digits ("322", "x142"); nothing for no character, NUL
// and surrogates included.
std::optional<char32_t> NumericCharacter(std::string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : digits) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return static_cast<char32_t>(value);
}

std::optional<char32_t> NamedCharacter(std::string_view name) {
    for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
        if (kLatin1Names[i] == name) {
            return static_cast<char32_t>(0xA0 + i);
        }
    }
    for (const NamedEntity& entity : kOtherNames) {
        if (entity.name == name) {
            return entity.code;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string DecodeEntities(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t amp = utf8.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(utf8.substr(i));
            break;
        }
        out.append(utf8.substr(i, amp - i));
        const std::size_t semicolon = utf8.find(';', amp + 1);
        std::optional<char32_t> decoded;
        if (semicolon != std::string_view::npos && semicolon - amp - 1 <= kLongestName + 1) {
            const std::string_view body = utf8.substr(amp + 1, semicolon - amp - 1);
            decoded = !body.empty() && body[0] == '#' ? NumericCharacter(body.substr(1)) : NamedCharacter(body);
        }
        if (decoded) {
            utf8::Append(out, *decoded);
            i = semicolon + 1;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
    return out;
}

std::string DisplayText(std::string_view cp1250) { return DecodeEntities(Cp1250ToUtf8(cp1250)); }

std::string NameToUtf8(std::string_view bytes) {
    return utf8::IsValid(bytes) ? std::string(bytes) : Cp1250ToUtf8(bytes);
}

}  // namespace wertowik
