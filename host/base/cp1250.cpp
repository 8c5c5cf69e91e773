#include "host/base/cp1250.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "host/base/utf8.h"

namespace wertowik {

namespace {

// One conversion descriptor, closed on every path.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() { iconv_close(cd_); }

    // Converts as much as it can; returns false at the first byte it cannot, with *in left there.
    bool Convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            const std::size_t status = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            in = inPtr;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (status == static_cast<std::size_t>(-1) && errno != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

// One descriptor per thread and direction: opening one costs far more than converting a short text.
Converter& FromUtf8() {
    thread_local Converter converter("CP1250", "UTF-8");
    return converter;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The 128 codes above ASCII in both directions, learnt once from iconv itself so that the table
// and the conversion it replaces cannot differ. Converting a text byte by byte through the table
// costs a fraction of a call into iconv, which matters when a disc of 100,000 programs is stored.
class Cp1250Table {
public:
    Cp1250Table() {
        Converter toUtf8("UTF-8", "CP1250");
        for (int code = 0x80; code <= 0xFF; ++code) {
            const char byte = static_cast<char>(code);
            const char* in = &byte;
            std::size_t left = 1;
            std::string spelt;
            if (!toUtf8.Convert(in, left, spelt) || spelt.empty() || spelt.size() > 3) {
                spelt = "\xEF\xBF\xBD";  // U+FFFD for a code Windows-1250 leaves undefined
                std::copy(spelt.begin(), spelt.end(), codes_[code - 0x80].utf8.begin());
                codes_[code - 0x80].length = 3;
                continue;
            }
            Code& entry = codes_[code - 0x80];
            entry.length = static_cast<uint8_t>(spelt.size());
            std::copy(spelt.begin(), spelt.end(), entry.utf8.begin());
            const std::optional<utf8::Decoded> decoded = spelt.size() >= 2 ? utf8::Decode(spelt) : std::nullopt;
            const char32_t point = decoded ? decoded->code : static_cast<char32_t>(back_.size());
            if (point < back_.size()) {
                back_[point] = static_cast<uint8_t>(code);
            }
        }
    }

    // Writes the UTF-8 form of a code above ASCII at out; returns the end of what it wrote.
    char* Put(unsigned char c, char* out) const {
        const Code& entry = codes_[c - 0x80];
        std::copy_n(entry.utf8.data(), 3, out);
        return out + entry.length;
    }

    // The Windows-1250 code of a character above ASCII, 0 when the table does not hold it.
    uint8_t Back(char32_t point) const { return point < back_.size() ? back_[point] : 0; }

private:
    struct Code {
        std::array<char, 3> utf8{};
        uint8_t length = 0;
    };
    std::array<Code, 128> codes_{};
    std::array<uint8_t, 0x2200> back_{};  // Windows-1250's characters all lie below U+2200
};

const Cp1250Table& Table() {
    static const Cp1250Table table;
    return table;
}

// Walks text through the table, handing each Windows-1250 byte to put; false at the first
// sequence the table does not know (iconv then has the last word: what it takes, what it rejects).
template <typename Put>
bool WalkThroughTable(std::string_view text, Put put) {
    const Cp1250Table& table = Table();
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (!put(static_cast<char>(c))) {
                return false;
            }
            ++i;
            continue;
        }
        const std::optional<utf8::Decoded> decoded = utf8::Decode(text.substr(i));
        if (!decoded || table.Back(decoded->code) == 0) {
            return false;  // not UTF-8, or a character to ask iconv about
        }
        if (!put(static_cast<char>(table.Back(decoded->code)))) {
            return false;
        }
        i += decoded->length;
    }
    return true;
}

std::optional<std::string> TableToCp1250(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    if (!WalkThroughTable(text, [&out](char c) {
            out += c;
            return true;
        })) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);  // the same bytes in both
    }
    const Cp1250Table& table = Table();
    std::string out(text.size() * 3, '\0');  // no code takes more than three bytes
    char* end = out.data();
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x80) {
            *end++ = c;
        } else {
            end = table.Put(static_cast<unsigned char>(c), end);
        }
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

std::optional<std::string> Utf8ToCp1250(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);  // the same bytes in both
    }
    if (std::optional<std::string> converted = TableToCp1250(text)) {
        return converted;
    }
    std::string out;
    const char* in = text.data();
    std::size_t left = text.size();
    if (!FromUtf8().Convert(in, left, out)) {
        return std::nullopt;
    }
    return out;
}

std::string LabelToCp1250(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);
    }
    std::string out;
    const char* in = text.data();
    std::size_t left = text.size();
    while (!FromUtf8().Convert(in, left, out)) {
        const std::size_t length = utf8::SequenceLength(std::string_view(in, left));
        if (length == 0) {
            return std::string(text);  // not UTF-8: taken to be Windows-1250 already
        }
        out += '?';  // a character Windows-1250 lacks, as Windows shows it
        in += length;
        left -= length;
    }
    return out;
}

bool ConvertsBackTo(std::string_view utf8, std::string_view cp1250) {
    std::size_t matched = 0;
    const bool known =
        WalkThroughTable(utf8, [&](char c) { return matched < cp1250.size() && cp1250[matched++] == c; });
    if (known) {
        return matched == cp1250.size();
    }
    // A difference, or a sequence the table does not know: the whole conversion decides.
    const std::optional<std::string> back = Utf8ToCp1250(utf8);
    return back && *back == cp1250;
}

std::string NameToCp1250(std::string_view text) {
    std::optional<std::string> converted = Utf8ToCp1250(text);
    return converted ? *converted : std::string(text);
}

}  // namespace wertowik
