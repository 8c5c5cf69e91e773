// Every way of cutting lines must give what a walk byte by byte gives, wherever the breaks and TABs
// fall against the blocks the faster ways compare at once.
#include "text/line_cut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "text/tab_field.h"

namespace wtk::text {
namespace {

struct Way {
    const char* name;
    LineCutter cut;
    ByteCounter count;
};

// The portable way always; the others where this build and this processor have them.
std::vector<Way> Ways() {
    std::vector<Way> ways{{"portable", &detail::CutLinePortable, &detail::CountBytePortable}};
#if defined(WTK_TEXT_HAS_SSE2)
    if (HasSse2()) {
        ways.push_back({"sse2", &detail::CutLineSse2, &detail::CountByteSse2});
    }
#endif
#if defined(WTK_TEXT_HAS_AVX2)
    if (HasAvx2()) {
        ways.push_back({"avx2", &detail::CutLineAvx2, &detail::CountByteAvx2});
    }
#endif
    return ways;
}

// Lines of every length up to 80 with TABs, CRs, LFs, bytes above 127 and NULs at changing
// places, so that breaks and TABs fall on every offset of a block and lines cross block edges.
std::string TrickyText() {
    const char bytes[] = {'a', '\t', '\r', '\n', '\xE6', '\0', ' ', '\t', '\x89', '\x0A' + 1};
    std::string text;
    uint32_t state = 12345;
    for (int line = 0; line < 400; ++line) {
        state = state * 1103515245u + 12345u;
        const std::size_t length = (state >> 8) % 81;
        for (std::size_t i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            text += bytes[(state >> 12) % sizeof bytes];
        }
        text += line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\r" : "\n";
    }
    text += "\ttail\twithout a break";
    return text;
}

LineCut ByteByByte(const std::string& text, std::size_t start, char lineBreak, std::vector<std::size_t>& tabs,
                   std::size_t room) {
    LineCut cut{text.size(), 0};
    for (std::size_t at = start; at < text.size(); ++at) {
        if (text[at] == lineBreak) {
            cut.end = at;
            break;
        }
        if (text[at] == '\t' && cut.tabCount < room) {
            tabs[cut.tabCount++] = at;
        }
    }
    return cut;
}

TEST(LineCut, EveryWayCutsAsAWalkByteByByte) {
    const std::string text = TrickyText();
    for (const Way& way : Ways()) {
        for (const char lineBreak : {'\r', '\n'}) {
            for (const std::size_t room : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{10}}) {
                SCOPED_TRACE(std::string(way.name) + " break " + std::to_string(int{lineBreak}) + " room " +
                             std::to_string(room));
                for (std::size_t start = 0; start <= text.size();) {
                    std::vector<std::size_t> expectedTabs(room + 1), tabs(room + 1);
                    const LineCut expected = ByteByByte(text, start, lineBreak, expectedTabs, room);
                    const LineCut cut = way.cut(text.data(), text.size(), start, lineBreak, tabs.data(), room);
                    ASSERT_EQ(cut.end, expected.end) << "line from " << start;
                    ASSERT_EQ(cut.tabCount, expected.tabCount) << "line from " << start;
                    for (std::size_t k = 0; k < cut.tabCount; ++k) {
                        ASSERT_EQ(tabs[k], expectedTabs[k]) << "line from " << start << ", TAB " << k;
                    }
                    start = cut.end + 1;
                }
            }
        }
    }
}

TEST(LineCut, FieldsAreThoseOfGetTabField) {
    const std::string text = TrickyText();
    const std::string_view all(text);
    for (const Way& way : Ways()) {
        SCOPED_TRACE(way.name);
        CutFields<4> fields;
        for (std::size_t start = 0; start <= text.size();) {
            const LineCut cut = way.cut(text.data(), text.size(), start, '\r', fields.Rooms(), 4);
            fields.Take(text.data(), start, cut);
            const std::string_view line = all.substr(start, cut.end - start);
            for (int n = 0; n < 6; ++n) {
                ASSERT_EQ(fields.Field(static_cast<std::size_t>(n)), n < 4 ? GetTabField(line, n) : std::string_view())
                    << "line from " << start << ", field " << n;
            }
            start = cut.end + 1;
        }
    }
}

TEST(LineCut, EveryWayCountsEveryPrefix) {
    const std::string text = TrickyText();
    for (const Way& way : Ways()) {
        SCOPED_TRACE(way.name);
        for (std::size_t size = 0; size <= text.size(); size += size < 200 ? 1 : 97) {
            for (const char byte : {'\r', '\t', '\0', '\xE6'}) {
                ASSERT_EQ(
                    way.count(text.data(), size, byte),
                    static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<long>(size), byte)))
                    << "size " << size << ", byte " << int{byte};
            }
        }
    }
}

TEST(LineCut, EveryFinderFindsTheFirstByteFromEveryStart) {
    struct Finder {
        const char* name;
        ByteFinder find;
    };
    std::vector<Finder> finders{{"portable", &detail::FindBytePortable}, {"chosen", BestByteFinder()}};
#if defined(WTK_TEXT_HAS_SSE2)
    if (HasSse2()) {
        finders.push_back({"sse2", &detail::FindByteSse2});
    }
#endif
#if defined(WTK_TEXT_HAS_AVX2)
    if (HasAvx2()) {
        finders.push_back({"avx2", &detail::FindByteAvx2});
    }
#endif
    const std::string text = TrickyText();
    for (const Finder& way : finders) {
        SCOPED_TRACE(way.name);
        for (std::size_t start = 0; start <= text.size(); ++start) {
            for (const char byte : {'\r', '\t', '\0', '\xE6', 'z'}) {
                const std::size_t expected = text.find(byte, start);
                const char* found = way.find(text.data() + start, text.size() - start, byte);
                ASSERT_EQ(found == nullptr ? std::string::npos : static_cast<std::size_t>(found - text.data()),
                          expected)
                    << "from " << start << ", byte " << int{byte};
            }
        }
    }
}

}  // namespace
}  // namespace wtk::text
