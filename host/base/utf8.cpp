#include "host/base/utf8.h"

namespace wertowik::utf8 {

namespace {

struct Lead {
    std::size_t length;  // 0: no lead byte of a sequence
    char32_t bits;       // the code point's bits the lead byte carries
    char32_t lowest;     // the smallest code point a sequence of this length may spell
};

Lead LeadOf(unsigned char lead) {
    if (lead < 0x80) {
        return {1, lead, 0};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, char32_t{lead} & 0x1F, 0x80};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {3, char32_t{lead} & 0x0F, 0x800};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {4, char32_t{lead} & 0x07, 0x10000};
    }
    return {0, 0, 0};
}

bool IsContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::optional<Decoded> Decode(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const Lead lead = LeadOf(static_cast<unsigned char>(text[0]));
    if (lead.length == 0 || text.size() < lead.length) {
        return std::nullopt;
    }
    char32_t code = lead.bits;
    for (std::size_t i = 1; i < lead.length; ++i) {
        if (!IsContinuation(text[i])) {
            return std::nullopt;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (code < lead.lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{code, lead.length};
}

std::size_t SequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const Lead lead = LeadOf(static_cast<unsigned char>(text[0]));
    if (lead.length < 2 || text.size() < lead.length) {
        return 0;
    }
    for (std::size_t i = 1; i < lead.length; ++i) {
        if (!IsContinuation(text[i])) {
            return 0;
        }
    }
    return lead.length;
}

bool IsValid(std::string_view text) {
    while (!text.empty()) {
        if (static_cast<unsigned char>(text[0]) < 0x80) {
            text.remove_prefix(1);
            continue;
        }
        const std::optional<Decoded> decoded = Decode(text);
        if (!decoded) {
            return false;
        }
        text.remove_prefix(decoded->length);
    }
    return true;
}

void Append(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace wertowik::utf8
