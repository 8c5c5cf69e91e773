// A folder mounted as a drive: Windows paths, case, wildcards, and no way out of the folder.
#include "host/discs/drive.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "cli_runner.h"

namespace wertowik {
namespace {

using wtk::test::TempDir;
using wtk::test::WriteBytes;

class DriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(disc / "Index.HTM", "root page");
        WriteBytes(disc / "datalo" / "htm" / "b.htm", "b");
        WriteBytes(disc / "datalo" / "htm" / "A.htm", "a");
        WriteBytes(disc / "datalo" / "htm" / "poczatek.html", "p");
        WriteBytes(disc / "datalo" / "htm" / "c.txt", "c");
        std::filesystem::create_directories(disc / "datalo" / "htm" / "x.htm");
        WriteBytes(disc / ".windows-label", "Etykieta\n");
        WriteBytes(outside / "secret.htm", "secret");
        std::filesystem::create_symlink(outside / "secret.htm", disc / "datalo" / "htm" / "link.htm");
        std::filesystem::create_symlink(outside.path(), disc / "away");
        std::filesystem::create_symlink(disc / "Index.HTM", disc / "inside.htm");
        drive = std::make_unique<Drive>('e', OpenFolderDisc(disc.path()), "LABEL");
    }

    std::vector<std::string> Names(const std::string& pattern, uint32_t mask) {
        std::vector<std::string> names;
        for (const DriveEntry& entry : drive->Find(pattern, mask)) {
            names.push_back(entry.name);
        }
        return names;
    }

    TempDir disc, outside;
    std::unique_ptr<Drive> drive;
};

TEST_F(DriveTest, FileExistsWithoutRegardToCase) {
    struct Case {
        const char* path;
        bool exists;
    };
    const Case cases[] = {
        {"E:\\index.htm", true},
        {"e:\\INDEX.htm", true},
        {"E:/index.htm", true},
        {"E:\\DATALO\\HTM\\a.HTM", true},
        {"E:\\datalo\\htm", false},  // a directory is no file
        {"E:\\datalo\\htm\\x.htm", false},
        {"D:\\index.htm", false},  // another drive
        {"E:\\datalo\\..\\index.htm", false},
        {"E:\\..\\index.htm", false},
        {"E:\\datalo\\htm\\link.htm", false},  // a link out of the disc
        {"E:\\away\\secret.htm", false},
        {"E:\\inside.htm", true},  // a link that stays on the disc
        {"E:\\.windows-label", false},
        {"E:\\*.htm", false},
        {"", false},
        {"E:", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(drive->FileExists(c.path), c.exists) << c.path;
    }
}

TEST_F(DriveTest, SearchesAsWindowsDoes) {
    EXPECT_EQ(Names("E:\\datalo\\htm\\*.htm", 63),
              (std::vector<std::string>{"A.htm", "b.htm", "poczatek.html", "x.htm"}));
    EXPECT_EQ(Names("E:\\datalo\\htm\\*.htm", 0), (std::vector<std::string>{"A.htm", "b.htm", "poczatek.html"}));
    EXPECT_EQ(Names("E:\\datalo\\htm\\*", 63),
              (std::vector<std::string>{".", "..", "A.htm", "b.htm", "c.txt", "poczatek.html", "x.htm"}));
    EXPECT_EQ(Names("E:\\*", 63), (std::vector<std::string>{"datalo", "Index.HTM", "inside.htm"}));
    EXPECT_TRUE(Names("E:\\nosuch\\*.htm", 63).empty());
    EXPECT_TRUE(Names("F:\\datalo\\htm\\*.htm", 63).empty());
    EXPECT_TRUE(Names("E:\\away\\*", 63).empty());
}

TEST_F(DriveTest, ReadsFilesAndTheLabel) {
    auto file = drive->OpenRead("E:\\DATALO\\htm\\A.HTM");
    ASSERT_TRUE(file);
    char buffer[8] = {};
    EXPECT_EQ(file->Size(), 1);
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 1u);
    EXPECT_EQ(buffer[0], 'a');
    EXPECT_EQ(drive->OpenRead("E:\\datalo\\htm\\x.htm"), nullptr);
    EXPECT_EQ(drive->OpenRead("E:\\nosuch.htm"), nullptr);
    EXPECT_EQ(drive->VolumeLabel("E:\\"), "LABEL");
    EXPECT_EQ(drive->VolumeLabel("e:\\"), "LABEL");
    EXPECT_FALSE(drive->VolumeLabel("D:\\").has_value());
    EXPECT_EQ(drive->source().Label(), "Etykieta");
}

TEST(FolderDisc, Utf8NamesReachTheLibrariesAsWindows1250) {
    TempDir disc;
    WriteBytes(disc /
                   "\xC5\xB9r\xC3\xB3"
                   "d\xC5\x82o.htm",
               "z");                        // Źródło.htm in UTF-8
    WriteBytes(disc / "raw\xB3.htm", "r");  // a byte that is no UTF-8
    Drive drive('D', OpenFolderDisc(disc.path()), "");
    std::vector<std::string> names;
    for (const auto& entry : drive.Find("D:\\*.htm", 63)) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"raw\xB3.htm",
                                               "\x8Fr\xF3"
                                               "d\xB3o.htm"}));
    EXPECT_TRUE(
        drive.FileExists("D:\\\x9Fr\xD3"
                         "D\xA3O.HTM"));  // źRÓDŁO.HTM
    EXPECT_TRUE(drive.FileExists("D:\\raw\xB3.htm"));
}

}  // namespace
}  // namespace wertowik
