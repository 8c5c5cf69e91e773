#include "host/cp1250.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

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

// The length of the UTF-8 sequence at the start of text, or 0 when none stands there.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length == 0 || text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
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
            std::string utf8;
            if (!toUtf8.Convert(in, left, utf8) || utf8.empty() || utf8.size() > 3) {
                utf8 = "\xEF\xBF\xBD";  // U+FFFD for a code Windows-1250 leaves undefined
                std::copy(utf8.begin(), utf8.end(), codes_[code - 0x80].utf8.begin());
                codes_[code - 0x80].length = 3;
                continue;
            }
            Code& entry = codes_[code - 0x80];
            entry.length = static_cast<uint8_t>(utf8.size());
            std::copy(utf8.begin(), utf8.end(), entry.utf8.begin());
            const char32_t point = utf8.size() >= 2 ? Decode(utf8, utf8.size()) : back_.size();
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

    // The character of a well-formed UTF-8 sequence of the given length (2 or 3).
    static char32_t Decode(std::string_view sequence, std::size_t length) {
        const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(sequence[i])); };
        if (length == 2) {
            return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        }
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    }

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
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length != 2 && length != 3) {
            return false;
        }
        const char32_t point = Cp1250Table::Decode(text.substr(i), length);
        if ((length == 3 && point < 0x800) || table.Back(point) == 0) {
            return false;  // an overlong form, or a character to ask iconv about
        }
        if (!put(static_cast<char>(table.Back(point)))) {
            return false;
        }
        i += length;
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
        const std::size_t length = Utf8SequenceLength(std::string_view(in, left));
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
    const bool known = WalkThroughTable(utf8, [&](char c) {
        return matched < cp1250.size() && cp1250[matched++] == c;
    });
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
