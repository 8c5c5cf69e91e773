#include "host/cp1250.h"

#include <iconv.h>

#include <cerrno>
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

}  // namespace

std::string Cp1250ToUtf8(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);  // the same bytes in both
    }
    // One descriptor per thread: opening one costs far more than converting a short text.
    thread_local Converter converter("UTF-8", "CP1250");
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    const char* in = text.data();
    std::size_t left = text.size();
    while (!converter.Convert(in, left, out)) {
        out.append("\xEF\xBF\xBD");  // U+FFFD for a code Windows-1250 leaves undefined
        ++in;
        --left;
    }
    return out;
}

std::optional<std::string> Utf8ToCp1250(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);  // the same bytes in both
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

std::string NameToCp1250(std::string_view text) {
    std::optional<std::string> converted = Utf8ToCp1250(text);
    return converted ? *converted : std::string(text);
}

}  // namespace wertowik
