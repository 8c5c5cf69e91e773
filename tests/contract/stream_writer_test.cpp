// The record writers against the byte layouts the host reads.
#include "contract/stream_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "contract/errors.h"
#include "memory_host_stream.h"

namespace wtk {
namespace {

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

TDiscRecord RecordWithId(uint16_t id) {
    TDiscRecord record{};
    record.DiscId = id;
    return record;
}

TEST(WriteEntry, MatchesTheDocumentedExampleByteForByte) {
    test::MemoryHostStream stream;
    StreamAccess access(stream.variable());
    WriteEntry(access, RecordWithId(261), lkFreeware, "Edytor", "1.0", Repeat('d', 300));
    ASSERT_EQ(stream.bytes().size(), 317u);
    const std::string expectedHeader("\x05\x01\x02\x06\x00\x03\x2C\x01", 8);
    EXPECT_EQ(stream.bytes().substr(0, 8), expectedHeader);
    EXPECT_EQ(stream.bytes().substr(8, 9), "Edytor1.0");
    EXPECT_EQ(stream.bytes().substr(17), Repeat('d', 300));
}

TEST(WriteEntry, LengthFieldsAndCaps) {
    struct Case {
        const char* what;
        std::size_t name, version, description;
        std::size_t storedName, storedVersion, storedDescription;
    };
    const Case cases[] = {
        {"all empty", 0, 0, 0, 0, 0, 0},
        {"no version", 5, 0, 7, 5, 0, 7},
        {"300-byte name kept to 255", 300, 3, 1, 255, 3, 1},
        {"300-byte version kept to 255", 1, 300, 1, 1, 255, 1},
        {"65535-byte description whole", 1, 1, 65535, 1, 1, 65535},
        {"65536-byte description kept to 65535", 1, 1, 65536, 1, 1, 65535},
        {"70000-byte description kept to 65535", 1, 1, 70000, 1, 1, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::MemoryHostStream stream;
        StreamAccess access(stream.variable());
        const std::string name = Repeat('n', c.name), version = Repeat('v', c.version);
        const std::string description = Repeat('d', c.description);
        WriteEntry(access, RecordWithId(7), lkDemo, name, version, description);
        const std::string out(stream.bytes());
        ASSERT_EQ(out.size(), 8 + c.storedName + c.storedVersion + c.storedDescription);
        EXPECT_EQ(static_cast<unsigned char>(out[3]), c.storedName);
        EXPECT_EQ(out[4], '\0');
        EXPECT_EQ(static_cast<unsigned char>(out[5]), c.storedVersion);
        const std::size_t descriptionLength =
            static_cast<unsigned char>(out[6]) | (static_cast<unsigned char>(out[7]) << 8);
        EXPECT_EQ(descriptionLength, c.storedDescription);
        EXPECT_EQ(out.substr(8),
                  Repeat('n', c.storedName) + Repeat('v', c.storedVersion) + Repeat('d', c.storedDescription));
    }
}

TEST(WriteDiscRecord, PassesHostBytesAndSetsNameLength) {
    TDiscRecord record{};
    std::memset(&record, 0xA5, sizeof record);
    record.DiscId = 0xFFFF;
    test::MemoryHostStream stream;
    StreamAccess access(stream.variable());
    WriteDiscRecord(access, record, "Enter");
    std::string expected(24, '\xA5');
    expected[0] = expected[1] = '\xFF';
    expected += '\x05';
    expected += "Enter";
    EXPECT_EQ(stream.bytes(), expected);

    test::MemoryHostStream entries;
    StreamAccess entryAccess(entries.variable());
    WriteEntry(entryAccess, record, lkUnspecified, "a", "", "");
    EXPECT_EQ(entries.bytes(), std::string("\xFF\xFF\x00\x01\x00\x00\x00\x00"
                                           "a",
                                           9));
}

TEST(WriteDiscRecord, SecondCallAppendsAfterTheFirst) {
    test::MemoryHostStream stream;
    stream.Preload("old");
    StreamAccess access(stream.variable());
    TDiscRecord record = RecordWithId(1);
    access.MoveToEnd();
    WriteDiscRecord(access, record, "CHIP");
    access.MoveToEnd();
    WriteDiscRecord(access, record, "CHIP CD", Reposition::Yes);
    const std::string out(stream.bytes());
    ASSERT_EQ(out.size(), 3 + 29 + 32u);
    EXPECT_EQ(out.substr(0, 3), "old");
    EXPECT_EQ(out[3 + 24], '\x04');
    EXPECT_EQ(out.substr(3 + 25, 4), "CHIP");
    EXPECT_EQ(out[3 + 29 + 24], '\x07');
    EXPECT_EQ(out.substr(3 + 29 + 25), "CHIP CD");
}

TEST(StreamAccess, StreamFailuresAreErrors) {
    struct Case {
        const char* what;
        test::MemoryHostStream::Failure failure;
    };
    const Case cases[] = {
        {"size query", test::MemoryHostStream::Failure::Size},
        {"positioning", test::MemoryHostStream::Failure::SetPosition},
        {"short write", test::MemoryHostStream::Failure::ShortWrite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::MemoryHostStream stream;
        stream.FailAt(1, c.failure);
        StreamAccess access(stream.variable());
        EXPECT_THROW(
            {
                access.MoveToEnd();
                access.Write("x");
            },
            PluginError);
    }
    StreamAccess none(nullptr);
    EXPECT_THROW(none.MoveToEnd(), PluginError);
}

}  // namespace
}  // namespace wtk
