// Fields of a TAB-separated line.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wtk::text {

// Field n (0-based) of the line: the text between the n-th and the (n+1)-th TAB (field 0 starts
// the line); a field behind the last TAB runs to the line's end; a field past the last TAB, or of
// a negative number, is empty. No TAB ever trails a field. The field is a view of the line, so
// cutting it cannot fail.
std::string_view GetTabField(std::string_view line, int n);

namespace detail {

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7Fu;
constexpr uint64_t kTabs = kOnes * '\t';

// The TAB bytes of a word read in the machine's (little-endian) order: 0x80 in each byte that is a
// TAB, 0 in every other. Exact: no carry runs from one byte into the next.
inline uint64_t TabBytes(uint64_t word) {
    const uint64_t x = word ^ kTabs;  // a TAB byte becomes zero
    return ~(((x & kLowSevenBits) + kLowSevenBits) | x | kLowSevenBits);
}

inline uint64_t LoadWord(const char* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

constexpr bool kWordsAreLittleEndian = std::endian::native == std::endian::little;

#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

// Bit i set where byte i of the 16 bytes at `at` is a TAB.
inline uint32_t TabBits(const char* at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'))));
}
#endif

}  // namespace detail

// Where the first TAB at or behind `from` stands, or npos. Most fields are a few characters long:
// their bytes are looked at eight at a time in a plain word, and only a longer field is left to
// the library's search, whose start-up costs more than a short field's walk.
inline std::size_t FindTab(std::string_view line, std::size_t from) {
    constexpr std::size_t kShortField = 32;
    const std::size_t quick = from + kShortField < line.size() ? from + kShortField : line.size();
    std::size_t at = from;
    if constexpr (detail::kWordsAreLittleEndian) {
        for (; at + sizeof(uint64_t) <= quick; at += sizeof(uint64_t)) {
            const uint64_t tabs = detail::TabBytes(detail::LoadWord(line.data() + at));
            if (tabs != 0) {
                return at + static_cast<std::size_t>(std::countr_zero(tabs)) / 8;
            }
        }
    }
    for (; at < quick; ++at) {
        if (line[at] == '\t') {
            return at;
        }
    }
    return quick == line.size() ? std::string_view::npos : line.find('\t', quick);
}

// The field that starts at `start`: up to the next TAB, or to the line's end behind the last one.
inline std::string_view FieldAt(std::string_view line, std::size_t start) {
    const std::size_t end = FindTab(line, start);
    return end == std::string_view::npos ? line.substr(start) : line.substr(start, end - start);
}

// The fields 0 to Count - 1 of a line, cut in one walk along it that stops behind field Count - 1:
// Field(n) is GetTabField(line, n), for the callers that want several fields of the same line
// without walking it once per field. The walk reads the line sixteen bytes at a time where the
// processor compares them at once, else eight, and takes every TAB of a block from one mask, so it
// suits lines of many short fields.
template <std::size_t Count>
class TabFields {
public:
    explicit TabFields(std::string_view line) {
        std::size_t start = 0;
        std::size_t at = 0;
#if defined(__SSE2__)
        // Where the processor compares sixteen bytes at once, the line goes by in blocks of
        // sixteen; the words and single bytes below take what is left.
        for (; at + detail::kBlock <= line.size(); at += detail::kBlock) {
            for (uint32_t tabs = detail::TabBits(line.data() + at); tabs != 0; tabs &= tabs - 1) {
                if (Cut(line, start, at + static_cast<std::size_t>(std::countr_zero(tabs)))) {
                    return;
                }
            }
        }
#endif
        if constexpr (detail::kWordsAreLittleEndian) {
            for (; at + sizeof(uint64_t) <= line.size(); at += sizeof(uint64_t)) {
                for (uint64_t tabs = detail::TabBytes(detail::LoadWord(line.data() + at)); tabs != 0;
                     tabs &= tabs - 1) {
                    const std::size_t tab = at + static_cast<std::size_t>(std::countr_zero(tabs)) / 8;
                    if (Cut(line, start, tab)) {
                        return;
                    }
                }
            }
        }
        for (; at < line.size(); ++at) {
            if (line[at] == '\t' && Cut(line, start, at)) {
                return;
            }
        }
        fields_[cut_] = line.substr(start);  // behind the last TAB, to the line's end
    }

    std::string_view Field(std::size_t n) const { return n < Count ? fields_[n] : std::string_view(); }

private:
    // Cuts the field from start to the TAB at tab; true once the last field wanted is cut.
    bool Cut(std::string_view line, std::size_t& start, std::size_t tab) {
        fields_[cut_++] = std::string_view(line.data() + start, tab - start);  // start <= tab < size
        start = tab + 1;
        return cut_ == Count;
    }

    std::array<std::string_view, Count> fields_{};
    std::size_t cut_ = 0;
};

}  // namespace wtk::text
