#include "line_cut.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(WTK_TEXT_HAS_SSE2) || defined(WTK_TEXT_HAS_AVX2)
#include <immintrin.h>
#endif

namespace wtk::text {

namespace {

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7Fu;
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// 0x80 in each byte of the word that equals the pattern's bytes, 0 in every other. Exact: no
// carry runs from one byte into the next.
inline uint64_t MatchingBytes(uint64_t word, uint64_t pattern) {
    const uint64_t x = word ^ pattern;  // a matching byte becomes zero
    return ~(((x & kLowSevenBits) + kLowSevenBits) | x | kLowSevenBits);
}

inline uint64_t LoadWord(const char* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

inline uint64_t Spread(char byte) { return kOnes * static_cast<unsigned char>(byte); }

// The bits of a mask below its lowest set bit; all bits when none is set.
template <typename Mask>
inline Mask BelowLowest(Mask mask) {
    return mask == 0 ? ~Mask{0} : (mask & (~mask + 1)) - 1;
}

// The portable walk from `at` on, `found` TABs already noted.
LineCut CutFrom(const char* data, std::size_t size, std::size_t at, char lineBreak, std::size_t* tabs,
                std::size_t room, std::size_t found) {
    if constexpr (kLittleEndian) {
        const uint64_t tabPattern = Spread('\t');
        const uint64_t breakPattern = Spread(lineBreak);
        for (; at + sizeof(uint64_t) <= size; at += sizeof(uint64_t)) {
            const uint64_t word = LoadWord(data + at);
            const uint64_t breaks = MatchingBytes(word, breakPattern);
            for (uint64_t t = MatchingBytes(word, tabPattern) & BelowLowest(breaks); t != 0 && found < room;
                 t &= t - 1) {
                tabs[found++] = at + static_cast<std::size_t>(std::countr_zero(t)) / 8;
            }
            if (breaks != 0) {
                return LineCut{at + static_cast<std::size_t>(std::countr_zero(breaks)) / 8, found};
            }
        }
    }
    for (; at < size; ++at) {
        if (data[at] == lineBreak) {
            return LineCut{at, found};
        }
        if (data[at] == '\t' && found < room) {
            tabs[found++] = at;
        }
    }
    return LineCut{size, found};
}

}  // namespace

namespace detail {

LineCut CutLinePortable(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                        std::size_t room) {
    return CutFrom(data, size, start, lineBreak, tabs, room, 0);
}

std::size_t CountBytePortable(const char* data, std::size_t size, char byte) {
    std::size_t count = 0;
    std::size_t at = 0;
    if constexpr (kLittleEndian) {
        const uint64_t pattern = Spread(byte);
        for (; at + sizeof(uint64_t) <= size; at += sizeof(uint64_t)) {
            count += static_cast<std::size_t>(std::popcount(MatchingBytes(LoadWord(data + at), pattern)));
        }
    }
    for (; at < size; ++at) {
        count += data[at] == byte ? 1 : 0;
    }
    return count;
}

#if defined(WTK_TEXT_HAS_SSE2)
LineCut CutLineSse2(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                    std::size_t room) {
    constexpr std::size_t kBlock = 16;
    const __m128i tabPattern = _mm_set1_epi8('\t');
    const __m128i breakPattern = _mm_set1_epi8(lineBreak);
    std::size_t found = 0;
    std::size_t at = start;
    for (; at + kBlock <= size; at += kBlock) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const auto breaks = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, breakPattern)));
        for (auto t = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tabPattern))) & BelowLowest(breaks);
             t != 0 && found < room; t &= t - 1) {
            tabs[found++] = at + static_cast<std::size_t>(std::countr_zero(t));
        }
        if (breaks != 0) {
            return LineCut{at + static_cast<std::size_t>(std::countr_zero(breaks)), found};
        }
    }
    return CutFrom(data, size, at, lineBreak, tabs, room, found);
}

std::size_t CountByteSse2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 16;
    constexpr std::size_t kMostBlocks = 255;  // an 8-bit lane counts this many before it would wrap
    const __m128i pattern = _mm_set1_epi8(byte);
    const __m128i zero = _mm_setzero_si128();
    std::size_t count = 0;
    std::size_t at = 0;
    while (size - at >= kBlock) {
        const std::size_t blocks = std::min((size - at) / kBlock, kMostBlocks);
        __m128i lanes = zero;
        for (std::size_t k = 0; k < blocks; ++k, at += kBlock) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, pattern));  // a match is -1
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    return count + CountBytePortable(data + at, size - at, byte);
}
#endif

#if defined(WTK_TEXT_HAS_AVX2)
__attribute__((target("avx2"))) LineCut CutLineAvx2(const char* data, std::size_t size, std::size_t start,
                                                    char lineBreak, std::size_t* tabs, std::size_t room) {
    constexpr std::size_t kBlock = 32;
    const __m256i tabPattern = _mm256_set1_epi8('\t');
    const __m256i breakPattern = _mm256_set1_epi8(lineBreak);
    std::size_t found = 0;
    std::size_t at = start;
    for (; at + kBlock <= size; at += kBlock) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at));
        const auto breaks = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, breakPattern)));
        for (auto t = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, tabPattern))) &
                      BelowLowest(breaks);
             t != 0 && found < room; t &= t - 1) {
            tabs[found++] = at + static_cast<std::size_t>(std::countr_zero(t));
        }
        if (breaks != 0) {
            return LineCut{at + static_cast<std::size_t>(std::countr_zero(breaks)), found};
        }
    }
    return CutFrom(data, size, at, lineBreak, tabs, room, found);
}

__attribute__((target("avx2"))) std::size_t CountByteAvx2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 32;
    constexpr std::size_t kMostBlocks = 255;  // an 8-bit lane counts this many before it would wrap
    const __m256i pattern = _mm256_set1_epi8(byte);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t count = 0;
    std::size_t at = 0;
    while (size - at >= kBlock) {
        const std::size_t blocks = std::min((size - at) / kBlock, kMostBlocks);
        __m256i lanes = zero;
        for (std::size_t k = 0; k < blocks; ++k, at += kBlock) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + at));
            lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(bytes, pattern));  // a match is -1
        }
        const __m256i sums = _mm256_sad_epu8(lanes, zero);
        const __m128i halves = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(halves)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
    }
    return count + CountBytePortable(data + at, size - at, byte);
}
#endif

}  // namespace detail

bool HasAvx2() {
#if defined(WTK_TEXT_HAS_AVX2)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

LineCutter BestLineCutter() {
#if defined(WTK_TEXT_HAS_AVX2)
    if (HasAvx2()) {
        return &detail::CutLineAvx2;
    }
#endif
#if defined(WTK_TEXT_HAS_SSE2)
    return &detail::CutLineSse2;
#else
    return &detail::CutLinePortable;
#endif
}

ByteCounter BestByteCounter() {
#if defined(WTK_TEXT_HAS_AVX2)
    if (HasAvx2()) {
        return &detail::CountByteAvx2;
    }
#endif
#if defined(WTK_TEXT_HAS_SSE2)
    return &detail::CountByteSse2;
#else
    return &detail::CountBytePortable;
#endif
}

}  // namespace wtk::text
