// Cutting the lines of a large text file and the TAB-separated fields at their fronts in one walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wtk::text {

// Where a line ends and how many of its TABs were noted.
struct LineCut {
    std::size_t end = 0;       // the index of the line break, or the data's size
    std::size_t tabCount = 0;  // TABs noted before end, at most the room given
};

// Walks data from start to the first lineBreak byte (or the end of the data) and notes the index
// of each TAB before it in tabs, the first `room` of them. Each way below gives the same answer;
// they differ in how many bytes they compare at once.
using LineCutter = LineCut (*)(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                               std::size_t room);

// How many bytes of data equal `byte`.
using ByteCounter = std::size_t (*)(const char* data, std::size_t size, char byte);

// The first byte of data that equals `byte`, or nullptr when none does.
using ByteFinder = const char* (*)(const char* data, std::size_t size, char byte);

namespace detail {

// A machine word at a time, eight bytes or four (one byte at a time on a big-endian machine): any
// processor.
LineCut CutLinePortable(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                        std::size_t room);
std::size_t CountBytePortable(const char* data, std::size_t size, char byte);
const char* FindBytePortable(const char* data, std::size_t size, char byte);
// The C library's memchr.
const char* FindByteLibrary(const char* data, std::size_t size, char byte);

#if defined(__SSE2__) || (defined(__i386__) && (defined(__GNUC__) || defined(__clang__)))
#define WTK_TEXT_HAS_SSE2 1
// Sixteen bytes at a time: every x86-64 processor, and a 32-bit x86 one where HasSse2() says so.
LineCut CutLineSse2(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                    std::size_t room);
std::size_t CountByteSse2(const char* data, std::size_t size, char byte);
const char* FindByteSse2(const char* data, std::size_t size, char byte);
#endif

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define WTK_TEXT_HAS_AVX2 1
// Thirty-two bytes at a time: only called where the processor (and, for its registers, the
// system) says it has AVX2. A 32-bit Windows DLL runs them too on such a processor.
LineCut CutLineAvx2(const char* data, std::size_t size, std::size_t start, char lineBreak, std::size_t* tabs,
                    std::size_t room);
std::size_t CountByteAvx2(const char* data, std::size_t size, char byte);
const char* FindByteAvx2(const char* data, std::size_t size, char byte);
#endif

}  // namespace detail

// Whether this processor runs the SSE2 ways (always on x86-64) and the AVX2 ways.
bool HasSse2();
bool HasAvx2();

// The fastest ways this processor runs, chosen once.
LineCutter BestLineCutter();
ByteCounter BestByteCounter();
ByteFinder BestByteFinder();

// The fields 0 to Count - 1 of a line that a LineCutter cut, given `Count` rooms for TABs: field n
// is what GetTabField(line, n) gives. The rooms are not cleared between lines; only the noted ones
// are read.
template <std::size_t Count>
class CutFields {
public:
    std::size_t* Rooms() { return tabs_; }

    // The line runs from start to cut.end in data.
    void Take(const char* data, std::size_t start, LineCut cut) {
        data_ = data;
        start_ = start;
        cut_ = cut;
    }

    std::string_view Field(std::size_t n) const {
        if (n >= Count || n > cut_.tabCount) {
            return std::string_view();
        }
        const std::size_t from = n == 0 ? start_ : tabs_[n - 1] + 1;
        const std::size_t to = n < cut_.tabCount ? tabs_[n] : cut_.end;
        return std::string_view(data_ + from, to - from);
    }

private:
    std::size_t tabs_[Count];  // left uninitialised: only the first cut_.tabCount are ever read
    const char* data_ = nullptr;
    std::size_t start_ = 0;
    LineCut cut_{};
};

// A processor's way of asking for `size` bytes of memory from `from` on before they are read.
using Prefetcher = void (*)(const char* from, std::size_t size);

// The way this processor has (one that does nothing where it has none), chosen once.
Prefetcher BestPrefetcher();

// Asks for a large text's memory ahead of a walk from its start to its end, a little before the
// walk gets there. The processor's own prefetching stops at every 4 KB page, so a walk through a
// mapped file otherwise waits for each page in turn and reads well below the speed of the memory.
class ReadAhead {
public:
    static constexpr std::size_t kDistance = std::size_t{32} << 10;
    static constexpr std::size_t kStep = 512;

    explicit ReadAhead(std::string_view data)
        : next_(data.data()), end_(data.data() + data.size()), prefetch_(BestPrefetcher()) {}

    // The walk is at `at`: what lies up to kDistance beyond it is asked for, a step at a time.
    void At(const char* at) {
        while (next_ - at < static_cast<std::ptrdiff_t>(kDistance) && next_ < end_) {
            const std::size_t step = end_ - next_ < static_cast<std::ptrdiff_t>(kStep) ? end_ - next_ : kStep;
            prefetch_(next_, step);
            next_ += step;
        }
    }

private:
    const char* next_;
    const char* end_;
    Prefetcher prefetch_;
};

}  // namespace wtk::text
