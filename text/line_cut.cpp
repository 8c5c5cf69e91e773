#include "line_cut.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(WTK_TEXT_HAS_SSE2) || defined(WTK_TEXT_HAS_AVX2)
#include <immintrin.h>
#endif

#if defined(WTK_TEXT_HAS_SSE2) && !defined(__SSE2__)
// A 32-bit x86 build runs on processors without SSE2 as well: only these functions use it, and
// only where HasSse2() said the processor has it.
#define WTK_SSE2_FUNCTION __attribute__((target("sse2")))
#else
#define WTK_SSE2_FUNCTION
#endif

namespace wtk::text {

namespace {

// The portable ways read a machine word at a time: eight bytes on a 64-bit processor, four on a
// 32-bit one, where a 64-bit word would take two registers and calls into the compiler's helpers.
using Word = std::size_t;
constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kLowSevenBits = kOnes * 0x7F;
constexpr int kTopByteShift = 8 * (static_cast<int>(sizeof(Word)) - 1);
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// 0x80 in each byte of the word that equals the pattern's bytes, 0 in every other. Exact: no
// carry runs from one byte into the next.
inline Word MatchingBytes(Word word, Word pattern) {
    const Word x = word ^ pattern;  // a matching byte becomes zero
    return ~(((x & kLowSevenBits) + kLowSevenBits) | x | kLowSevenBits);
}

// How many bytes MatchingBytes marked: their 1s summed into the top byte by one multiplication
// (at most 8, so no byte overflows), where a population count would be a call on older processors.
inline std::size_t MarkedCount(Word marks) { return static_cast<std::size_t>(((marks >> 7) * kOnes) >> kTopByteShift); }

inline Word LoadWord(const char* at) {
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

inline Word Spread(char byte) { return kOnes * static_cast<unsigned char>(byte); }

// The bits of a mask below its lowest set bit; all bits when none is set.
template <typename Mask>
inline Mask BelowLowest(Mask mask) {
    return mask == 0 ? ~Mask{0} : (mask & (~mask + 1)) - 1;
}

// The rooms for the TABs of a line, filled from the front. The SIMD walks keep a pointer to the
// next room and one past the last rather than counts and indexes: on a 32-bit processor, with its
// few registers, the walk's loop then keeps what it uses in them.
class TabNotes {
public:
    TabNotes(std::size_t* tabs, std::size_t room) : first_(tabs), next_(tabs), end_(tabs + room) {}

    // Notes the TAB of each bit of `bits`, the lowest first, at `offset` plus the bit's place.
    template <typename Bits>
    void Note(std::size_t offset, Bits bits) {
        for (; bits != 0 && next_ != end_; bits &= bits - 1) {
            *next_++ = offset + static_cast<unsigned>(std::countr_zero(bits));
        }
    }

    std::size_t Count() const { return static_cast<std::size_t>(next_ - first_); }

private:
    std::size_t* first_;
    std::size_t* next_;
    std::size_t* end_;
};

// The portable walk from `at` on, `found` TABs already noted.
LineCut CutFrom(const char* data, std::size_t size, std::size_t at, char lineBreak, std::size_t* tabs, std::size_t room,
                std::size_t found) {
    if constexpr (kLittleEndian) {
        const Word tabPattern = Spread('\t');
        const Word breakPattern = Spread(lineBreak);
        for (; at + sizeof(Word) <= size; at += sizeof(Word)) {
            const Word word = LoadWord(data + at);
            const Word breaks = MatchingBytes(word, breakPattern);
            for (Word t = MatchingBytes(word, tabPattern) & BelowLowest(breaks); t != 0 && found < room; t &= t - 1) {
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

// The portable walks are also the tails of the SSE2 and AVX2 ones, and are never inlined there: a
// function compiled for SSE may use CMOVcc, which a Pentium lacks (see BlocksToCount), so nothing
// but the vector loop itself is compiled for SSE.
__attribute__((noinline)) std::size_t CountBytePortable(const char* data, std::size_t size, char byte) {
    std::size_t count = 0;
    std::size_t at = 0;
    if constexpr (kLittleEndian) {
        const Word pattern = Spread(byte);
        for (; at + sizeof(Word) <= size; at += sizeof(Word)) {
            count += MarkedCount(MatchingBytes(LoadWord(data + at), pattern));
        }
    }
    for (; at < size; ++at) {
        count += data[at] == byte ? 1 : 0;
    }
    return count;
}

__attribute__((noinline)) const char* FindBytePortable(const char* data, std::size_t size, char byte) {
    std::size_t at = 0;
    if constexpr (kLittleEndian) {
        const Word pattern = Spread(byte);
        for (; at + sizeof(Word) <= size; at += sizeof(Word)) {
            if (const Word marks = MatchingBytes(LoadWord(data + at), pattern); marks != 0) {
                return data + at + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
            }
        }
    }
    for (; at < size; ++at) {
        if (data[at] == byte) {
            return data + at;
        }
    }
    return nullptr;
}

const char* FindByteLibrary(const char* data, std::size_t size, char byte) {
    return size == 0 ? nullptr : static_cast<const char*>(std::memchr(data, byte, size));
}

// How many blocks the vector counts take in before their 8-bit lanes would wrap. Outside the
// vector functions: GCC lets any function compiled for SSE choose with CMOVcc (every processor with
// SSE has it), and the DLLs are checked to hold no such instruction at all.
namespace {
__attribute__((noinline)) std::size_t BlocksToCount(std::size_t remainingBlocks) {
    constexpr std::size_t kMostBlocks = 255;  // an 8-bit lane counts this many before it would wrap
    return std::min(remainingBlocks, kMostBlocks);
}
}  // namespace

#if defined(WTK_TEXT_HAS_SSE2)
WTK_SSE2_FUNCTION LineCut CutLineSse2(const char* data, std::size_t size, std::size_t start, char lineBreak,
                                      std::size_t* tabs, std::size_t room) {
    constexpr std::size_t kBlock = 16;
    const __m128i tabPattern = _mm_set1_epi8('\t');
    const __m128i breakPattern = _mm_set1_epi8(lineBreak);
    TabNotes notes(tabs, room);
    const char* at = data + start;
    if (size >= kBlock) {
        for (const char* const last = data + (size - kBlock); at <= last; at += kBlock) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const auto breaks = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, breakPattern)));
            const auto tabBits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tabPattern)));
            const auto offset = static_cast<std::size_t>(at - data);
            notes.Note(offset, tabBits & BelowLowest(breaks));
            if (breaks != 0) {
                return LineCut{offset + static_cast<std::size_t>(std::countr_zero(breaks)), notes.Count()};
            }
        }
    }
    return CutFrom(data, size, static_cast<std::size_t>(at - data), lineBreak, tabs, room, notes.Count());
}

WTK_SSE2_FUNCTION std::size_t CountByteSse2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 16;
    const __m128i pattern = _mm_set1_epi8(byte);
    const __m128i zero = _mm_setzero_si128();
    std::size_t count = 0;
    std::size_t at = 0;
    while (size - at >= kBlock) {
        const std::size_t blocks = BlocksToCount((size - at) / kBlock);
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
WTK_SSE2_FUNCTION const char* FindByteSse2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 16;
    const __m128i pattern = _mm_set1_epi8(byte);
    std::size_t at = 0;
    for (; at + kBlock <= size; at += kBlock) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        if (const auto marks = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern))); marks != 0) {
            return data + at + static_cast<std::size_t>(std::countr_zero(marks));
        }
    }
    return FindBytePortable(data + at, size - at, byte);
}
#endif

#if defined(WTK_TEXT_HAS_AVX2)
__attribute__((target("avx2"))) LineCut CutLineAvx2(const char* data, std::size_t size, std::size_t start,
                                                    char lineBreak, std::size_t* tabs, std::size_t room) {
    constexpr std::size_t kBlock = 32;
    const __m256i tabPattern = _mm256_set1_epi8('\t');
    const __m256i breakPattern = _mm256_set1_epi8(lineBreak);
    TabNotes notes(tabs, room);
    const char* at = data + start;
    if (size >= kBlock) {
        for (const char* const last = data + (size - kBlock); at <= last; at += kBlock) {
            const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
            const auto breaks = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, breakPattern)));
            const auto tabBits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, tabPattern)));
            const auto offset = static_cast<std::size_t>(at - data);
            notes.Note(offset, tabBits & BelowLowest(breaks));
            if (breaks != 0) {
                return LineCut{offset + static_cast<std::size_t>(std::countr_zero(breaks)), notes.Count()};
            }
        }
    }
    return CutFrom(data, size, static_cast<std::size_t>(at - data), lineBreak, tabs, room, notes.Count());
}

__attribute__((target("avx2"))) std::size_t CountByteAvx2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 32;
    const __m256i pattern = _mm256_set1_epi8(byte);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t count = 0;
    std::size_t at = 0;
    while (size - at >= kBlock) {
        const std::size_t blocks = BlocksToCount((size - at) / kBlock);
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

// Sixty-four bytes a turn once the first thirty-two are past: a line of a long index is some
// hundred bytes, and the memory is then asked for two blocks at a time.
__attribute__((target("avx2"))) inline uint32_t MatchesAvx2(const char* at, char byte) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(byte))));
}

__attribute__((target("avx2"))) const char* FindByteAvx2(const char* data, std::size_t size, char byte) {
    constexpr std::size_t kBlock = 32;
    std::size_t at = 0;
    if (size >= kBlock) {
        if (const uint32_t first = MatchesAvx2(data, byte); first != 0) {
            return data + std::countr_zero(first);
        }
        at = kBlock;
    }
    for (; at + 2 * kBlock <= size; at += 2 * kBlock) {
        const uint32_t low = MatchesAvx2(data + at, byte), high = MatchesAvx2(data + at + kBlock, byte);
        if ((low | high) != 0) {
            return low != 0 ? data + at + std::countr_zero(low) : data + at + kBlock + std::countr_zero(high);
        }
    }
    for (; at + kBlock <= size; at += kBlock) {
        if (const uint32_t found = MatchesAvx2(data + at, byte); found != 0) {
            return data + at + std::countr_zero(found);
        }
    }
    return FindBytePortable(data + at, size - at, byte);
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

bool HasSse2() {
#if defined(__SSE2__)
    return true;
#elif defined(WTK_TEXT_HAS_SSE2)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

namespace {

constexpr std::size_t kCacheLine = 64;

#if defined(WTK_TEXT_HAS_SSE2)
WTK_SSE2_FUNCTION void PrefetchSse2(const char* from, std::size_t size) {
    for (std::size_t at = 0; at < size; at += kCacheLine) {
        _mm_prefetch(from + at, _MM_HINT_T0);
    }
}
#endif

#if defined(__i386__) || defined(__x86_64__)
// An x86 processor without SSE has no instruction for it.
void PrefetchPortable(const char*, std::size_t) {}
#else
void PrefetchPortable(const char* from, std::size_t size) {
    for (std::size_t at = 0; at < size; at += kCacheLine) {
        __builtin_prefetch(from + at);
    }
}
#endif

// A way this build has, or null where it was not compiled in.
#if defined(WTK_TEXT_HAS_AVX2)
#define WTK_AVX2_WAY(way) (way)
#else
#define WTK_AVX2_WAY(way) nullptr
#endif
#if defined(WTK_TEXT_HAS_SSE2)
#define WTK_SSE2_WAY(way) (way)
#else
#define WTK_SSE2_WAY(way) nullptr
#endif

// The fastest way this build has and this processor runs.
template <typename Way>
Way Fastest(Way avx2, Way sse2, Way portable) {
    if (avx2 != nullptr && HasAvx2()) {
        return avx2;
    }
    if (sse2 != nullptr && HasSse2()) {
        return sse2;
    }
    return portable;
}

}  // namespace

Prefetcher BestPrefetcher() { return Fastest<Prefetcher>(nullptr, WTK_SSE2_WAY(&PrefetchSse2), &PrefetchPortable); }

LineCutter BestLineCutter() {
    return Fastest<LineCutter>(WTK_AVX2_WAY(&detail::CutLineAvx2), WTK_SSE2_WAY(&detail::CutLineSse2),
                               &detail::CutLinePortable);
}

ByteCounter BestByteCounter() {
    return Fastest<ByteCounter>(WTK_AVX2_WAY(&detail::CountByteAvx2), WTK_SSE2_WAY(&detail::CountByteSse2),
                                &detail::CountBytePortable);
}

ByteFinder BestByteFinder() {
#if defined(_WIN32)
    // The C runtime a Windows DLL calls is the system's msvcrt.dll, whose memchr may go a byte at a
    // time; the DLL searches with its own ways there.
    return Fastest<ByteFinder>(WTK_AVX2_WAY(&detail::FindByteAvx2), WTK_SSE2_WAY(&detail::FindByteSse2),
                               &detail::FindBytePortable);
#else
    return &detail::FindByteLibrary;
#endif
}

}  // namespace wtk::text
