// A folder as a disc: what can be opened through links that stay on the disc, what cannot through
// links that leave it, and files that are no regular files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "cli_runner.h"
#include "host/discs/disc_source.h"

namespace wertowik {
namespace {

using wtk::test::TempDir;
using wtk::test::WriteBytes;
namespace fs = std::filesystem;

std::string ReadAll(SourceFile& file) {
    std::string bytes;
    char buffer[256];
    while (const std::size_t got = file.Read(buffer, sizeof buffer)) {
        bytes.append(buffer, got);
    }
    return bytes;
}

class FolderDiscTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(disc / "datalo" / "htm" / "a.htm", "page a");
        WriteBytes(outside / "secret.htm", "secret");
        fs::create_symlink(disc / "datalo" / "htm" / "a.htm", disc / "datalo" / "htm" / "same.htm");
        fs::create_symlink(disc / "datalo", disc / "alias");
        fs::create_symlink(outside / "secret.htm", disc / "datalo" / "htm" / "out.htm");
        fs::create_symlink(outside.path(), disc / "away");
        ASSERT_EQ(::mkfifo((disc / "datalo" / "htm" / "pipe.htm").c_str(), 0644), 0);
        fs::create_directories(disc / "datalo" / "htm" / "folder.htm");
        source = OpenFolderDisc(disc.path());
    }

    TempDir disc, outside;
    std::unique_ptr<DiscSource> source;
};

TEST_F(FolderDiscTest, OpensFilesAndLinksThatStayOnTheDisc) {
    const std::vector<std::vector<std::string>> paths{
        {"datalo", "htm", "a.htm"},
        {"datalo", "htm", "same.htm"},
        {"alias", "htm", "a.htm"},
        {"alias", "htm", "same.htm"},
    };
    for (int pass = 0; pass < 2; ++pass) {  // the second time with the folders' real paths known
        for (const auto& path : paths) {
            SCOPED_TRACE(path[0] + "/" + path[2]);
            auto file = source->Open(path);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(file->Size(), 6);
            EXPECT_EQ(ReadAll(*file), "page a");
        }
    }
}

TEST_F(FolderDiscTest, RefusesWhatIsNoRegularFileOnTheDisc) {
    const std::vector<std::vector<std::string>> paths{
        {"datalo", "htm", "out.htm"},     // a link off the disc
        {"away", "secret.htm"},           // through a folder link off the disc
        {"datalo", "htm", "pipe.htm"},    // a named pipe: refused without waiting for a writer
        {"datalo", "htm", "folder.htm"},  // a folder
        {"datalo", "htm", "none.htm"},    // nothing
        {"datalo", "..", "datalo", "htm", "a.htm"},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.back());
        EXPECT_THROW(source->Open(path), std::runtime_error);
    }
}

TEST_F(FolderDiscTest, AFileTurnedIntoALinkOffTheDiscIsRefused) {
    ASSERT_NE(source->Open({"datalo", "htm", "a.htm"}), nullptr);
    fs::remove(disc / "datalo" / "htm" / "a.htm");
    fs::create_symlink(outside / "secret.htm", disc / "datalo" / "htm" / "a.htm");
    EXPECT_THROW(source->Open({"datalo", "htm", "a.htm"}), std::runtime_error);
}

TEST_F(FolderDiscTest, ListsLinksOnlyWhenTheyStayOnTheDisc) {
    struct Listed {
        std::string name;
        bool directory;
        bool operator==(const Listed&) const = default;
    };
    std::vector<Listed> root, pages;
    for (const SourceEntry& entry : source->List({}))
        root.push_back({entry.name, entry.directory});
    for (const SourceEntry& entry : source->List({"datalo", "htm"}))
        pages.push_back({entry.name, entry.directory});
    std::sort(root.begin(), root.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
    std::sort(pages.begin(), pages.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
    EXPECT_EQ(root, (std::vector<Listed>{{"alias", true}, {"datalo", true}}));
    EXPECT_EQ(pages,
              (std::vector<Listed>{{"a.htm", false}, {"folder.htm", true}, {"pipe.htm", false}, {"same.htm", false}}));
}

// A file whose reported size and real length differ, as one that changes after it was opened.
class ChangingFile final : public SourceFile {
public:
    ChangingFile(int64_t reported, std::string content) : reported_(reported), content_(std::move(content)) {}
    int64_t Size() const override { return reported_; }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, content_.size() - position_);
        std::memcpy(buffer, content_.data() + position_, n);
        position_ += n;
        return n;
    }

private:
    int64_t reported_;
    std::string content_;
    std::size_t position_ = 0;
};

std::string Pattern(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    return bytes;
}

// The whole file in memory is the file as it is read to its end, whatever its size said.
TEST(WholeFile, HoldsTheBytesReadToTheEnd) {
    struct Case {
        const char* what;
        int64_t reported;
        std::size_t length;
    };
    const Case cases[] = {
        {"as long as reported", 5000, 5000},
        {"empty", 0, 0},
        {"shorter than reported", 5000, 1200},
        {"longer than reported", 5000, 5001},
        {"far longer", 10, 100000},
        {"reported empty, has bytes", 0, 4097},
        {"a negative size", -1, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChangingFile file(c.reported, Pattern(c.length));
        const std::unique_ptr<FileContent> content = file.ReadAll();
        EXPECT_EQ(content->bytes(), Pattern(c.length));
    }
}

// A folder disc maps a large file and reads a small one; both give the file's bytes.
TEST(WholeFile, FolderFilesLargeAndSmall) {
    TempDir disc;
    const std::string large = Pattern((std::size_t{3} << 20) + 17);
    WriteBytes(disc / "large.dat", large);
    WriteBytes(disc / "small.dat", "small");
    WriteBytes(disc / "empty.dat", "");
    const std::unique_ptr<DiscSource> source = OpenFolderDisc(disc.path());
    EXPECT_EQ(source->Open({"large.dat"})->ReadAll()->bytes(), large);
    EXPECT_EQ(source->Open({"small.dat"})->ReadAll()->bytes(), "small");
    EXPECT_EQ(source->Open({"empty.dat"})->ReadAll()->bytes(), "");
}

// A large file another program cuts short while it is held: the pages it lost read as zeros
// instead of ending the process, and the content says it changed. One left alone does not.
TEST(WholeFile, AMappedFileCutShortReadsAsZerosAndSaysSo) {
    TempDir disc;
    const std::string large = Pattern(std::size_t{3} << 20);
    WriteBytes(disc / "index.dat", large);
    WriteBytes(disc / "other.dat", large);
    const std::unique_ptr<DiscSource> source = OpenFolderDisc(disc.path());
    const std::unique_ptr<FileContent> cut = source->Open({"index.dat"})->ReadAll();
    const std::unique_ptr<FileContent> kept = source->Open({"other.dat"})->ReadAll();

    fs::resize_file(disc / "index.dat", 100);
    const std::string_view bytes = cut->bytes();
    ASSERT_EQ(bytes.size(), large.size());
    EXPECT_EQ(bytes.substr(0, 100), std::string_view(large).substr(0, 100));
    const std::size_t page = 4096;
    EXPECT_EQ(bytes.substr(page).find_first_not_of('\0'), std::string_view::npos);
    EXPECT_TRUE(cut->Changed());
    EXPECT_EQ(kept->bytes(), large);
    EXPECT_FALSE(kept->Changed());
}

}  // namespace
}  // namespace wertowik
