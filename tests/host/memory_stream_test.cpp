// The host's memory stream: its blocks must behave as one text of bytes, however writes and
// positions fall across their boundaries, and hand their bytes over intact.
#include "host/modules/memory_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "host/modules/registration.h"

namespace wertowik {
namespace {

struct Step {
    int64_t position;  // where to write; -1: at the end
    std::size_t length;
    char fill;
};

// Writes through the stream's method table, as a library does, and into a plain text beside it.
class Writer {
public:
    void Apply(const Step& step) {
        HostStream* stream = *streamVariable();
        const int64_t size = stream->methods->Size(stream);
        const int64_t at = step.position < 0 ? size : step.position;
        ASSERT_EQ(stream->methods->SetPosition(stream, at), 1);
        const std::string bytes = Pattern(step);
        ASSERT_EQ(stream->methods->Write(stream, bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
        const std::size_t where = static_cast<std::size_t>(at);
        if (model.size() < where + bytes.size()) {
            model.resize(where + bytes.size());
        }
        model.replace(where, bytes.size(), bytes);
    }
    HostStream** streamVariable() { return stream.variable(); }

    MemoryStream stream;
    std::string model;

private:
    // Bytes that differ from place to place, so that a byte written to the wrong offset shows.
    static std::string Pattern(const Step& step) {
        std::string bytes(step.length, step.fill);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(step.fill + static_cast<char>(i % 7));
        }
        return bytes;
    }
};

struct Case {
    const char* what;
    std::vector<Step> steps;
};

// Appends and overwrites of every length up to 20 bytes, which are copied in short moves.
std::vector<Step> ShortWrites() {
    std::vector<Step> steps;
    for (std::size_t n = 0; n <= 20; ++n) {
        steps.push_back({-1, n, static_cast<char>('a' + n)});
    }
    for (std::size_t n = 1; n <= 20; ++n) {
        steps.push_back({static_cast<int64_t>(3 * n), n, 'A'});
    }
    return steps;
}

std::vector<Case> WriteCases() {
    return {
        {"short writes of every length", ShortWrites()},
        {"nothing", {}},
        {"an empty write", {{-1, 0, 'a'}}},
        {"inside the first block", {{-1, 100, 'a'}, {-1, 200, 'b'}}},
        {"up to the first block's end exactly", {{-1, 4096, 'a'}, {-1, 1, 'b'}}},
        {"one write over three blocks", {{-1, 4095, 'a'}, {-1, 4096 + 8192 + 10, 'b'}}},
        {"many small appends", std::vector<Step>(3000, Step{-1, 13, 'c'})},
        {"past the largest block size", {{-1, (3u << 20) + 5, 'd'}, {-1, 1u << 20, 'e'}}},
        {"overwriting across a boundary", {{-1, 20000, 'a'}, {4090, 20, 'x'}, {0, 3, 'y'}}},
        {"overwriting past the end", {{-1, 5000, 'a'}, {4990, 100, 'z'}}},
        {"overwriting what went to the file and what did not",
         {{-1, 3000, 'a'},
          {-1, (1u << 20) + 7, 'b'},
          {-1, 2000, 'c'},
          {2990, 30, 'x'},
          {(1u << 20) + 3000, 20, 'y'},
          {-1, 10, 'd'}}},
    };
}

// Every case, with the content kept in memory, and moved to a file past `spillAt` bytes.
void ExpectCasesReadBack(std::size_t spillAt) {
    for (const Case& c : WriteCases()) {
        SCOPED_TRACE(c.what);
        Writer writer;
        writer.stream.SetSpillThreshold(spillAt);
        for (const Step& step : c.steps) {
            writer.Apply(step);
        }
        HostStream* stream = *writer.streamVariable();
        EXPECT_EQ(writer.stream.Spilled(), writer.model.size() > spillAt);
        EXPECT_EQ(stream->methods->Size(stream), static_cast<int64_t>(writer.model.size()));
        EXPECT_EQ(writer.stream.bytes(), writer.model);
        EXPECT_EQ(writer.stream.TakeBytes().view(), writer.model);
        EXPECT_EQ(writer.stream.bytes(), "");
        EXPECT_EQ(stream->methods->Size(stream), 0);
    }
}

TEST(MemoryStream, WritesAcrossBlocksReadBackAsOneText) { ExpectCasesReadBack(StreamBytes::kSpillThreshold); }

TEST(MemoryStream, ContentMovedToAFileReadsBackAsOneText) { ExpectCasesReadBack(1000); }

// Files of this process may grow to `bytes` for as long as it lives; a write past that fails
// (EFBIG) instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }

private:
    rlimit previous_{};
    void (*previousSignal_)(int);
};

TEST(MemoryStream, AFileThatTakesNoMoreBringsTheContentBackIntoMemory) {
    for (const Case& c : WriteCases()) {
        SCOPED_TRACE(c.what);
        Writer writer;
        writer.stream.SetSpillThreshold(1000);
        {
            const FileSizeLimit limit(64 << 10);
            for (const Step& step : c.steps) {
                writer.Apply(step);
            }
        }
        EXPECT_FALSE(writer.model.size() > (64u << 10) && writer.stream.Spilled());
        EXPECT_EQ(writer.stream.bytes(), writer.model);
        EXPECT_EQ(writer.stream.TakeBytes().view(), writer.model);
    }
}

TEST(MemoryStream, BytesFollowLaterWrites) {
    for (const std::size_t spillAt : {StreamBytes::kSpillThreshold, std::size_t{1000}}) {
        SCOPED_TRACE(spillAt);
        Writer writer;
        writer.stream.SetSpillThreshold(spillAt);
        writer.Apply({-1, 5000, 'a'});
        EXPECT_EQ(writer.stream.bytes(), writer.model);
        writer.Apply({-1, 5000, 'b'});
        writer.Apply({10, 3, 'c'});
        EXPECT_EQ(writer.stream.bytes(), writer.model);
        EXPECT_EQ(writer.stream.TakeBytes().view(), writer.model);
    }
}

TEST(MemoryStream, PreloadReplacesTheContentAndStartsAtItsBeginning) {
    Writer writer;
    writer.Apply({-1, 9000, 'a'});
    writer.stream.Preload("earlier");
    EXPECT_EQ(writer.stream.bytes(), "earlier");
    EXPECT_EQ(writer.stream.position(), 0);
    HostStream* stream = *writer.streamVariable();
    EXPECT_EQ(stream->methods->Size(stream), 7);
    ASSERT_EQ(stream->methods->SetPosition(stream, 7), 1);
    ASSERT_EQ(stream->methods->Write(stream, " and later", 10), 10);
    EXPECT_EQ(writer.stream.bytes(), "earlier and later");
}

TEST(MemoryStream, PositionsOutsideTheContentAreRefused) {
    MemoryStream stream;
    stream.Preload("abc");
    HostStream* s = *stream.variable();
    EXPECT_EQ(s->methods->SetPosition(s, 4), 0);
    EXPECT_EQ(s->methods->SetPosition(s, -1), 0);
    EXPECT_EQ(s->methods->SetPosition(s, 3), 1);
    EXPECT_EQ(s->methods->Write(s, "x", -1), 0);
    EXPECT_EQ(stream.bytes(), "abc");
}

// An entry stream tallied as it is written counts and lists what a whole stream holds, wherever
// the writes cut it; a write anywhere but at its end is refused.
TEST(MemoryStream, TalliedEntriesAreCountedAsTheWholeStream) {
    // Entries whose texts grow and shrink, some of them empty, so that writes cut every part. The
    // natural pieces are those a library writes: the header, then each text (empty ones too).
    std::string whole;
    std::vector<std::size_t> natural;
    std::vector<std::pair<std::string, std::string>> names;
    for (int i = 0; i < 300; ++i) {
        const std::string name = i % 11 == 0 ? "" : "prog" + std::to_string(i), version(i % 5, 'v'),
                          description(i * 37 % 300, 'd');
        const wtk::TEntryHeader header{7,
                                       0,
                                       static_cast<uint8_t>(name.size()),
                                       0,
                                       static_cast<uint8_t>(version.size()),
                                       static_cast<uint16_t>(description.size())};
        whole.append(reinterpret_cast<const char*>(&header), sizeof header).append(name + version + description);
        natural.insert(natural.end(), {sizeof header, name.size(), version.size(), description.size()});
        names.emplace_back(name, version);
    }
    struct TallyCase {
        std::size_t chunk, cut, listed;  // chunk 0: the natural pieces; cut: bytes of the last entry left out
    };
    for (const TallyCase c : {TallyCase{1, 0, 20}, TallyCase{7, 0, 20}, TallyCase{333, 0, 0}, TallyCase{100000, 0, 300},
                              TallyCase{13, 9, 20}, TallyCase{64, 250, 20}, TallyCase{0, 0, 20}, TallyCase{0, 0, 0},
                              TallyCase{0, 100, 300}}) {
        SCOPED_TRACE(testing::Message() << "chunk " << c.chunk << ", cut " << c.cut << ", listed " << c.listed);
        EntryTally tally(c.listed);
        MemoryStream stream;
        stream.TallyInto(&tally);
        HostStream* s = *stream.variable();
        const std::string bytes = whole.substr(0, whole.size() - c.cut);
        for (std::size_t at = 0, piece = 0; at < bytes.size(); ++piece) {
            const std::size_t count = std::min(c.chunk != 0 ? c.chunk : natural[piece], bytes.size() - at);
            ASSERT_EQ(s->methods->SetPosition(s, s->methods->Size(s)), 1);
            ASSERT_EQ(s->methods->Write(s, bytes.data() + at, static_cast<int32_t>(count)),
                      static_cast<int32_t>(count));
            at += count;
        }
        EXPECT_EQ(s->methods->Size(s), static_cast<int64_t>(bytes.size()));
        ASSERT_EQ(s->methods->SetPosition(s, 1), 1);
        EXPECT_EQ(s->methods->Write(s, "x", 1), 0);
        EXPECT_EQ(tally.entries(), c.cut == 0 ? names.size() : names.size() - 1);
        EXPECT_EQ(tally.listed(), std::vector(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(c.listed)));
        EXPECT_TRUE(stream.TakeBytes().empty());
    }
}

}  // namespace
}  // namespace wertowik
