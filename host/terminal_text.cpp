#include "host/terminal_text.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>

#include "host/host_error.h"

namespace wertowik {

namespace {

struct Decoded {
    char32_t code;
    std::size_t length;
};

// The well-formed UTF-8 sequence at the start of the text (no overlong form, no surrogate, nothing
// above U+10FFFF); nothing when none stands there.
std::optional<Decoded> DecodeUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return Decoded{lead, 1};
    }
    std::size_t length = 0;
    char32_t code = 0, lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, lowest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return Decoded{code, length};
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

}  // namespace

bool IsNonPrinting(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) ||  // C0, DEL, C1
           code == 0x061C ||                                   // Arabic letter mark
           (code >= 0x200B && code <= 0x200F) ||               // zero-width, direction marks
           (code >= 0x2028 && code <= 0x202E) ||               // line and paragraph separators, embeddings
           (code >= 0x2060 && code <= 0x206F) ||               // word joiner, isolates, invisible operators
           code == 0xFEFF ||                                   // zero-width no-break space
           (code >= 0xFFF9 && code <= 0xFFFB) ||               // interlinear annotation
           code == 0xFFFE || code == 0xFFFF ||                 //
           (code >= 0xE0000 && code <= 0xE007F);               // tags
}

std::string ForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::optional<Decoded> next = DecodeUtf8(text);
        if (!next) {
            out += "\\x" + Hex(static_cast<unsigned char>(text.front()), 2);
            text.remove_prefix(1);
            continue;
        }
        const char32_t code = next->code;
        if (!IsNonPrinting(code)) {
            out.append(text.substr(0, next->length));
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code <= 0x7F) {
            out += "\\x" + Hex(code, 2);
        } else if (code <= 0xFFFF) {
            out += "\\u" + Hex(code, 4);
        } else {
            out += "\\U" + Hex(code, 8);
        }
        text.remove_prefix(next->length);
    }
    return out;
}

std::string EscapeNonPrintingInJson(std::string_view json) {
    std::string out;
    out.reserve(json.size());
    while (!json.empty()) {
        const std::optional<Decoded> next = DecodeUtf8(json);
        const std::size_t length = next ? next->length : 1;
        if (!next || next->code < 0x20 || !IsNonPrinting(next->code)) {
            out.append(json.substr(0, length));  // C0 controls never stand raw in JSON text
        } else if (next->code <= 0xFFFF) {
            out += "\\u" + Hex(next->code, 4);
        } else {
            const char32_t above = next->code - 0x10000;
            out += "\\u" + Hex(0xD800 + (above >> 10), 4) + "\\u" + Hex(0xDC00 + (above & 0x3FF), 4);
        }
        json.remove_prefix(length);
    }
    return out;
}

int TellCurrentError() {
    try {
        throw;
    } catch (const HostError& problem) {
        // Messages name paths and texts of the disc: shown on one line, nothing in them steering the terminal.
        std::cerr << "wertowik: " << ForTerminal(problem.what()) << '\n';
        return problem.code();
    } catch (const std::exception& problem) {
        std::cerr << "wertowik: " << ForTerminal(problem.what()) << '\n';
        return kExitSoftware;
    }
}

}  // namespace wertowik
