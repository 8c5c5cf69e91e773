// Windows-1250 <-> UTF-8 through the host's table, checked against iconv byte by byte, and the
// test of whether a text converts back to given bytes (which decides what a catalogue keeps).
#include "host/base/cp1250.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "host/catalogue/schema.h"

namespace wertowik {
namespace {

// What iconv itself makes of one Windows-1250 byte, U+FFFD where it refuses it.
std::string IconvUtf8(unsigned char code) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    char in = static_cast<char>(code);
    char out[8];
    char* inPtr = &in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const bool done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return done ? std::string(out, static_cast<std::size_t>(outPtr - out)) : std::string("\xEF\xBF\xBD");
}

TEST(Cp1250, EveryByteConvertsAsIconvConvertsIt) {
    std::string all;
    std::string expected;
    for (int code = 1; code <= 0xFF; ++code) {
        const std::string alone(1, static_cast<char>(code));
        const std::string utf8 = IconvUtf8(static_cast<unsigned char>(code));
        EXPECT_EQ(Cp1250ToUtf8(alone), utf8) << "code " << code;
        if (utf8 != "\xEF\xBF\xBD") {
            EXPECT_EQ(Utf8ToCp1250(utf8), alone) << "code " << code;
        }
        all += alone;
        expected += utf8;
    }
    EXPECT_EQ(Cp1250ToUtf8(all), expected);
}

TEST(Cp1250, ATextConvertsBackOnlyToItsOwnBytes) {
    struct Case {
        const char* utf8;
        std::string cp1250;
        bool same;
    };
    const Case cases[] = {
        {"Edytor", "Edytor", true},
        {"Edytor", "Edyto", false},
        {"Edyto", "Edytor", false},
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xA3\xF3"
         "d\x9F",
         true},  // Łódź
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xA3\xF3"
         "d",
         false},  // raw shorter
        {"\xC5\x81\xC3\xB3"
         "d",
         "\xA3\xF3"
         "d\x9F",
         false},  // raw longer
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xA3\xF3"
         "D\x9F",
         false},                             // one byte differs
        {"\xE2\x82\xAC 5", "\x80 5", true},  // the euro sign
        {"\xD0\xB6", "?", false},            // a letter Windows-1250 lacks
        {"\xEF\xBF\xBD", "\x81", false},     // an undefined code shown as U+FFFD
        {"\xE0\x82\xA0", "\xA0", false},     // an overlong no-break space
        {"\xC5", "\xC5", false},             // not UTF-8
        {"", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertsBackTo(c.utf8, c.cp1250), c.same) << c.utf8;
        EXPECT_EQ(NeedsRaw(c.utf8, c.cp1250), !c.same) << c.utf8;
        const auto back = Utf8ToCp1250(c.utf8);
        EXPECT_EQ(back && *back == c.cp1250, c.same) << c.utf8;
    }
}

}  // namespace
}  // namespace wertowik
