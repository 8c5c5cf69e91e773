#include "host/base/terminal_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "host/base/utf8.h"

namespace wertowik {

namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

}  // namespace

bool IsNonPrinting(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) ||  // C0, DEL, C1
           code == 0x061C ||                                 // Arabic letter mark
           (code >= 0x200B && code <= 0x200F) ||             // zero-width, direction marks
           (code >= 0x2028 && code <= 0x202E) ||             // line and paragraph separators, embeddings
           (code >= 0x2060 && code <= 0x206F) ||             // word joiner, isolates, invisible operators
           code == 0xFEFF ||                                 // zero-width no-break space
           (code >= 0xFFF9 && code <= 0xFFFB) ||             // interlinear annotation
           code == 0xFFFE || code == 0xFFFF ||               //
           (code >= 0xE0000 && code <= 0xE007F);             // tags
}

std::string ForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::optional<utf8::Decoded> next = utf8::Decode(text);
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
        const std::optional<utf8::Decoded> next = utf8::Decode(json);
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

}  // namespace wertowik
