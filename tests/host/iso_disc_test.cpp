// ISO 9660 images as discs: the same names, contents and label as the folder they were made from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <random>

#include "cli_runner.h"
#include "host/base/cp1250.h"
#include "host/base/errors.h"
#include "host/discs/drive.h"
#include "host/discs/images/cd_image_files.h"
#include "host/discs/iso_names.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wertowik {
namespace {

namespace fs = std::filesystem;
using wtk::test::ReadBytes;
using wtk::test::SampleDisc;
using wtk::test::SampleImage;
using wtk::test::TempDir;
using wtk::test::WriteBytes;

TEST(IsoNames, JolietNamesAreUtf16) {
    struct Case {
        std::string recorded;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {std::string("\0A\0.\0t\0x\0t", 10), "A.txt"},
        {std::string("\x01\x41\0\xF3\0d\x01\x7A", 8), "\xC5\x81\xC3\xB3" "d\xC5\xBA"},  // Łódź
        {std::string("\0a\xD8\x3D\xDE\x00\0b", 8), "a\xF0\x9F\x98\x80" "b"},          // a pair: U+1F600
        {std::string("\0a\xD8\x3D\0b", 6), "a\xEF\xBF\xBD" "b"},                     // a lone high surrogate
        {std::string("\xDE\x00\0b", 4), "\xEF\xBF\xBD" "b"},                         // a lone low surrogate
        {std::string("\x20\xAC\0x", 4), "\xE2\x82\xAC" "x"},                         // €
        {std::string("\0a\0", 3), "a"},                                              // an odd last byte
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JolietNameToUtf8(c.recorded), c.utf8);
    }
}

TEST(IsoNames, VersionSuffixAndEmptyExtensionGo) {
    struct Case {
        std::string recorded;
        bool joliet;
        std::string plain;
    };
    const std::vector<Case> cases = {
        {"INDEX.HTM;1", false, "INDEX.HTM"}, {"README.;1", false, "README"},   {"README.", false, "README"},
        {"SETUP.EXE;12", false, "SETUP.EXE"}, {"DANE", false, "DANE"},          {"index.htm;1", true, "index.htm"},
        {"index.htm", true, "index.htm"},     {"name.", true, "name."},         {"a;b", true, "a;b"},
        {"a;", false, "a;"},                  {";1", true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlainName(c.recorded, c.joliet), c.plain) << c.recorded;
    }
}

// Every entry of the drive, with its attributes and (for files) its bytes, walked from the root.
std::vector<std::string> Walk(Drive& drive) {
    std::vector<std::string> seen;
    std::function<void(const std::string&)> visit = [&](const std::string& folder) {
        for (const DriveEntry& entry : drive.Find(folder + "*", 63)) {
            if (entry.name == "." || entry.name == "..") {
                continue;
            }
            const std::string path = folder + entry.name;
            seen.push_back(path + " " + std::to_string(entry.attributes));
            if (entry.attributes & 0x10) {
                visit(path + "\\");
            } else {
                auto file = drive.OpenRead(path);
                std::string bytes;
                char buffer[777];  // an odd size, so that reads straddle the image's blocks
                for (std::size_t got; (got = file->Read(buffer, sizeof buffer)) > 0;) {
                    bytes.append(buffer, got);
                }
                EXPECT_EQ(static_cast<int64_t>(bytes.size()), file->Size()) << path;
                seen.push_back(bytes);
            }
        }
    };
    visit("E:\\");
    return seen;
}

TEST(IsoDisc, AnImageShowsWhatItsFolderShows) {
    for (const std::string name : {"polish-names", "enter", "unrelated"}) {
        SCOPED_TRACE(name);
        auto folder = OpenFolderDisc(SampleDisc(name));
        auto image = OpenIsoDisc(SampleImage(name));
        ASSERT_TRUE(image->Label());
        EXPECT_EQ(image->Label(), folder->Label());
        Drive fromFolder('E', std::move(folder), "x");
        Drive fromImage('E', std::move(image), "x");
        const auto expected = Walk(fromFolder);
        EXPECT_GT(expected.size(), 2u);
        EXPECT_EQ(Walk(fromImage), expected);
    }
}

// The raw copy of a CD holding the image: each 2048-byte block in a 2352-byte frame behind the
// sync pattern, the frame's address and its mode (mode 2 adds an 8-byte subheader), with the cue
// sheet that names the frames' file.
std::string CueSheet(const std::string& file, int mode) {
    return "FILE \"" + file + "\" BINARY\r\n  TRACK 01 MODE" + std::to_string(mode) + "/2352\r\n    INDEX 01 00:00:00\r\n";
}

void WriteCdImage(const std::string& image, int mode, const fs::path& bin, const fs::path& cue) {
    constexpr std::size_t kBlock = 2048;
    constexpr std::size_t kFrame = 2352;
    const std::string sync = std::string(1, '\0') + std::string(10, '\xFF') + std::string(1, '\0');
    const auto bcd = [](std::size_t value) { return static_cast<char>(value / 10 * 16 + value % 10); };
    std::string frames;
    for (std::size_t block = 0; block * kBlock < image.size(); ++block) {
        const std::size_t address = block + 150;  // two seconds of lead-in
        std::string frame = sync + bcd(address / 4500) + bcd(address / 75 % 60) + bcd(address % 75) +
                            static_cast<char>(mode);
        if (mode == 2) {
            frame += std::string(8, '\0');
        }
        frame += image.substr(block * kBlock, kBlock);
        frame.resize(kFrame, '\0');
        frames += frame;
    }
    WriteBytes(bin, frames);
    WriteBytes(cue, CueSheet(bin.filename().string(), mode));
}

TEST(IsoDisc, RawCdImagesShowWhatTheirFolderShows) {
    TempDir scratch;
    for (const std::string name : {"polish-names", "enter"}) {
        for (const int mode : {1, 2}) {
            WriteCdImage(ReadBytes(SampleImage(name)), mode, scratch / "Disc.bin", scratch / "Disc.cue");
            Drive fromFolder('E', OpenFolderDisc(SampleDisc(name)), "x");
            const auto expected = Walk(fromFolder);
            for (const fs::path& opened : {scratch / "Disc.cue", scratch / "Disc.bin"}) {
                SCOPED_TRACE(name + ", mode " + std::to_string(mode) + ", " + opened.filename().string());
                auto image = OpenIsoDisc(opened);
                EXPECT_EQ(image->Label(), fromFolder.source().Label());
                Drive fromImage('E', std::move(image), "x");
                EXPECT_EQ(Walk(fromImage), expected);
            }
        }
    }
}

// What a first track is, in one line for comparing.
std::string Described(const std::optional<CueDataTrack>& track) {
    if (!track) {
        return "none";
    }
    const char* modes[] = {"mode 1 raw", "mode 2 raw", "mode 1 plain"};
    return track->file + ", " + modes[static_cast<int>(track->mode)] + ", next track at " +
           (track->nextTrackAt ? std::to_string(*track->nextTrackAt) : "none");
}

TEST(CdImageFiles, TheFirstTrackOfACueSheet) {
    struct Case {
        std::string sheet;
        std::string track;
    };
    const std::vector<Case> cases = {
        {CueSheet("Disc 1.bin", 1), "Disc 1.bin, mode 1 raw, next track at none"},
        {"  file disc.bin binary\n  track 1 mode2/2352\n    index 1 00:00:00\n", "disc.bin, mode 2 raw, next track at none"},
        {"\xEF\xBB\xBFREM made on Windows\r\nFILE \"C:\\rips\\DISC.BIN\" BINARY\r\n TRACK 01 MODE1/2048\r\n"
         "  INDEX 01 00:00:00\r\n",
         "C:\\rips\\DISC.BIN, mode 1 plain, next track at none"},
        {"\tFILE\t\"tab.bin\"\tBINARY\n\tTRACK\t99\tMODE1/2352\n\tINDEX\t01\t00:00:00\n", "tab.bin, mode 1 raw, next track at none"},
        {"FILE my disc.bin BINARY \n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n", "my disc.bin, mode 1 raw, next track at none"},
        {"FILE typeless.bin\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n", "typeless.bin, mode 1 raw, next track at none"},
        // audio behind the data in the same file: the data ends where the next track's first index is
        {CueSheet("cd.bin", 1) + "  TRACK 02 AUDIO\n    INDEX 00 12:34:56\n    INDEX 01 12:36:56\n",
         "cd.bin, mode 1 raw, next track at " + std::to_string((12 * 60 + 34) * 75 + 56)},
        {CueSheet("data.bin", 2) + "FILE \"audio.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n",
         "data.bin, mode 2 raw, next track at none"},
        {"FILE \"\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", "none"},
        {std::string("FILE \"a.bin") + '\0' + "../x\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 0:0:0\n", "a.bin, mode 1 raw, next track at none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00:00\n", "none"},
        {"FILENAME x.bin\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE2/2336\n    INDEX 01 00:00:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:02:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:60:00\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 0:0\n", "none"},
        {"FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n", "none"},
        {"", "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Described(FirstTrackOfCueSheet(c.sheet)), c.track) << c.sheet;
    }
}

TEST(IsoDisc, RawCdImagesAreFoundAsTheirCueSheetsNameThem) {
    TempDir scratch;
    const std::string image = ReadBytes(SampleImage("enter"));
    Drive fromFolder('E', OpenFolderDisc(SampleDisc("enter")), "x");
    const auto expected = Walk(fromFolder);
    // The links that show libcdio frames named otherwise go into the temporary folder, and with the disc.
    const fs::path temporary = scratch / "tmp";
    fs::create_directories(temporary);
    const char* previousTemporary = std::getenv("TMPDIR");
    const std::optional<std::string> restore = previousTemporary ? std::optional<std::string>(previousTemporary) : std::nullopt;
    ::setenv("TMPDIR", temporary.c_str(), 1);
    struct Case {
        std::string sheet;      // the sheet's file name
        std::string fileNamed;  // what its FILE line says
        std::string frames;     // where the frames are, below the sheet's folder
        std::string opened;     // the file given as the disc
    };
    const std::vector<Case> cases = {
        {"Disc.cue", "Other Name.BIN", "Other Name.BIN", "Disc.cue"},
        {"Disc.cue", "data\\frames.bin", "data/frames.bin", "Disc.cue"},
        {"Disc.cue", "C:\\rips\\DISC.BIN", "disc.bin", "Disc.cue"},
        {"DISC.CUE", "disc.bin", "disc.bin", "DISC.CUE"},
        {"DISC.CUE", "whatever.bin", "disc.BIN", "disc.BIN"},
        {"x.Cue", "x.Bin", "x.Bin", "x.Cue"},
        {"p\xC5\x82yta.cue", "P\xC5\x81YTA.BIN", "P\xC5\x82yta.bin", "p\xC5\x82yta.cue"},  // płyta, PŁYTA, Płyta
        {"p\xC5\x82yta.cue", "P\xB3yta.bin", "P\xC5\x82yta.bin", "p\xC5\x82yta.cue"},        // named in Windows-1250
        {"\xC5\xBB\xC3\x93\xC5\x81W.cue", "x.bin", "\xC5\xBB\xC3\xB3\xC5\x82w.bin",
         "\xC5\xBB\xC3\xB3\xC5\x82w.bin"},  // ŻÓŁW.cue beside Żółw.bin
        {"Disc.cue", "DATA\\SUB\\DISC.BIN", "data/sub/disc.bin", "Disc.cue"},
        {"Disc.cue", "P\xB3yty\\dysk.bin", "P\xC5\x82yty/dysk.bin", "Disc.cue"},  // Płyty in Windows-1250
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.sheet + " naming " + c.fileNamed + ", opened as " + c.opened);
        const fs::path folder = scratch / std::to_string(i);
        WriteCdImage(image, 1, folder / c.frames, folder / "unused.cue");
        fs::remove(folder / "unused.cue");
        WriteBytes(folder / c.sheet, CueSheet(c.fileNamed, 1));
        Drive fromImage('E', OpenIsoDisc(folder / c.opened), "x");
        EXPECT_TRUE(fs::is_empty(temporary));  // gone once the image is open, before it is read
        EXPECT_EQ(fromImage.source().Label(), "enter");
        EXPECT_EQ(Walk(fromImage), expected);
    }
    // A TMPDIR that names no folder leaves the links to /tmp.
    ::setenv("TMPDIR", (scratch / "missing").c_str(), 1);
    EXPECT_EQ(OpenIsoDisc(scratch / "0" / "Disc.cue")->Label(), "enter");
    // A folder where none can be made, even by root, is the host's trouble, not the disc's.
    ::setenv("TMPDIR", "/proc", 1);
    try {
        OpenIsoDisc(scratch / "0" / "Disc.cue");
        ADD_FAILURE() << "opened without a folder for the links";
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), kExitCantCreate);
        EXPECT_NE(std::string(error.what()).find("Disc.cue in /proc: "), std::string::npos) << error.what();
    }
    if (restore) {
        ::setenv("TMPDIR", restore->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

TEST(IsoDisc, RawCdImagesTakeTheirLabelAsPlainImagesDo) {
    TempDir scratch;
    const std::string image = ReadBytes(SampleImage("enter"));
    constexpr std::size_t kBlock = 2048;
    constexpr std::size_t kVolumeId = 40;
    std::size_t joliet = 17;  // the first supplementary descriptor of the image
    while (image[joliet * kBlock] != '\x02') {
        ++joliet;
    }
    struct Case {
        std::string what;
        std::string primary;  // 32 bytes
        std::string jolietId;  // 32 bytes of UCS-2
        std::string label;
    };
    const std::string spaces(32, ' ');
    const std::string ucs2Spaces = [] {
        std::string padded;
        for (int i = 0; i < 16; ++i) {
            padded += std::string("\0 ", 2);
        }
        return padded;
    }();
    const std::vector<Case> cases = {
        {"Joliet in small letters", ("ENTER" + spaces).substr(0, 32), (std::string("\0e\0n\0t\0e\0r", 10) + ucs2Spaces).substr(0, 32), "enter"},
        {"Joliet begins the primary", ("AB XYZ" + spaces).substr(0, 32), std::string("\0A\0B", 4) + std::string(28, '\0'), "AB XYZ"},
        {"Joliet with a surrogate pair", ("JSUR" + spaces).substr(0, 32),
         (std::string("\0Q\xD8\x3D\xDE\x00\0Z", 8) + ucs2Spaces).substr(0, 32), "JSUR"},
        {"Joliet empty", ("PRIMARY" + spaces).substr(0, 32), ucs2Spaces, "PRIMARY"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string patched = image;
        patched.replace(16 * kBlock + kVolumeId, 32, c.primary);
        patched.replace(joliet * kBlock + kVolumeId, 32, c.jolietId);
        WriteBytes(scratch / "plain.iso", patched);
        WriteCdImage(patched, 1, scratch / "raw.bin", scratch / "raw.cue");
        EXPECT_EQ(OpenIsoDisc(scratch / "plain.iso")->Label(), c.label);
        EXPECT_EQ(OpenIsoDisc(scratch / "raw.cue")->Label(), c.label);
    }
}

TEST(IsoDisc, FoldersLeftByKilledProcessesAreRemovedWhenTheNextImageIsOpened) {
    TempDir scratch;
    WriteCdImage(ReadBytes(SampleImage("enter")), 1, scratch / "disc.bin", scratch / "disc.cue");
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(::getppid());
    const std::vector<std::pair<std::string, bool>> folders = {  // and whether it stays
        {"wertowik-cd-" + dead + "-aB3dE9", false},
        {"wertowik-cd-" + alive + "-aB3dE9", true},   // its process still runs
        {"wertowik-page-" + dead + "-aB3dE9", true},  // a page left for the viewer
        {"wertowik-cd-x" + dead + "-aB3dE9", true},
    };
    for (const auto& [name, stays] : folders) {
        WriteBytes(scratch / "tmp" / name / "disc.cue", "FILE");
    }
    ::setenv("TMPDIR", (scratch / "tmp").c_str(), 1);
    EXPECT_EQ(OpenIsoDisc(scratch / "disc.cue")->Label(), "enter");
    ::unsetenv("TMPDIR");
    for (const auto& [name, stays] : folders) {
        EXPECT_EQ(fs::exists(scratch / "tmp" / name), stays) << name;
    }
}

TEST(IsoDisc, RawCdImagesWithoutTheirFramesOrCueSheetAreRefused) {
    TempDir scratch;
    const std::string image = ReadBytes(SampleImage("enter"));
    WriteCdImage(image, 1, scratch / "whole.bin", scratch / "whole.cue");
    const std::string frames = ReadBytes(scratch / "whole.bin");
    WriteBytes(scratch / "lone" / "disc.bin", std::string(40 * 2352, 'x'));  // no frames, no sheet
    WriteBytes(scratch / "cut.bin", frames.substr(0, frames.size() / 2));
    WriteBytes(scratch / "cut.cue", CueSheet("cut.bin", 1));
    WriteBytes(scratch / "lost.cue", CueSheet("lost.bin", 1));
    WriteBytes(scratch / "text.cue", "not a cue sheet\n");
    // Forty frames of the data track, then audio: the track is cut short though the file is long.
    WriteBytes(scratch / "audio.bin", frames.substr(0, 40 * 2352) + std::string(400 * 2352, '\0'));
    WriteBytes(scratch / "audio.cue", CueSheet("audio.bin", 1) + "  TRACK 02 AUDIO\n    INDEX 01 00:00:40\n");
    // The same in blocks of 2048 bytes.
    WriteBytes(scratch / "plain.bin", image.substr(0, 40 * 2048) + std::string(400 * 2352, '\0'));
    WriteBytes(scratch / "plain.cue", "FILE \"plain.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
                                      "  TRACK 02 AUDIO\n    INDEX 01 00:00:40\n");
    // A name that would steer the terminal is shown with its control characters escaped.
    WriteBytes(scratch / "steer.cue", CueSheet("\x1B[2J\x1B]2;x\ax.bin", 1));
    // A file far too long for a cue sheet is none, whatever it begins with.
    WriteBytes(scratch / "long.cue", CueSheet("whole.bin", 1) + std::string(std::size_t{1} << 20, ' '));
    // The name of a pipe is no file of frames.
    ASSERT_EQ(::mkfifo((scratch / "pipe.bin").c_str(), 0600), 0);
    WriteBytes(scratch / "pipe.cue", CueSheet("pipe.bin", 1));
    // The track's file is looked for beside the sheet and below it, never above it.
    WriteCdImage(image, 1, scratch / "whole.bin", scratch / "sheets" / "up.cue");
    WriteBytes(scratch / "sheets" / "up.cue", CueSheet("../whole.bin", 1));
    struct Case {
        fs::path path;
        std::string message;
        int exitStatus;  // of the host error, 0 for bad data
    };
    const std::vector<Case> cases = {
        {scratch / "lone" / "disc.bin", "nor the frames of one with disc.cue beside it", 0},
        {scratch / "text.cue", "nor a cue sheet whose first file holds the frames of one", 0},
        {scratch / "lost.cue", "lost.cue names lost.bin for its data, which is not beside it", kExitNoInput},
        {scratch / "long.cue", "nor a cue sheet whose first file holds the frames of one", 0},
        {scratch / "pipe.cue", "pipe.cue names pipe.bin for its data, which is no plain file", kExitNoInput},
        {scratch / "sheets" / "up.cue", "up.cue names ../whole.bin for its data, which is not beside it", kExitNoInput},
        {scratch / "cut.cue", "cut short", 0},
        {scratch / "cut.bin", "cut short", 0},
        {scratch / "audio.cue", "cut short", 0},
        {scratch / "plain.cue", "cut short", 0},
        {scratch / "plain.bin", "cut short", 0},  // its sheet beside it is heeded
        {scratch / "steer.cue", "steer.cue names \\x1b[2J\\x1b]2;x\\x07x.bin for its data", kExitNoInput},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        try {
            OpenIsoDisc(c.path);
            ADD_FAILURE() << "opened";
        } catch (const HostError& error) {
            EXPECT_EQ(error.code(), c.exitStatus);
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        } catch (const DiscError& error) {
            EXPECT_EQ(c.exitStatus, 0);
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(IsoDisc, NamesAreMatchedWithoutRegardToCaseAndWildcardsWork) {
    Drive drive('E', OpenIsoDisc(SampleImage("polish-names")), "");
    EXPECT_TRUE(drive.FileExists("E:\\readme"));
    EXPECT_TRUE(drive.FileExists("e:\\PROGRAMY\\gry\\pasjans.exe"));
    EXPECT_TRUE(drive.FileExists(NameToCp1250("E:\\\xC5\xBA" "R\xC3\x93" "D\xC5\x81" "A\\\xC5\x81\xC3\x93" "D\xC5\xB9.TXT")));
    EXPECT_FALSE(drive.FileExists("E:\\Programy"));
    const auto pages = drive.Find("E:\\Programy\\*.htm", 0x27);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].name, "Dokumentacja techniczna programu.html");
    auto file = drive.OpenRead(NameToCp1250("E:\\\xC5\xB9r\xC3\xB3" "d\xC5\x82" "a\\\xC5\x82\xC3\xB3" "d\xC5\xBA.txt"));
    ASSERT_TRUE(file);
    char buffer[16];
    ASSERT_EQ(file->Read(buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "\xA3\xF3" "d\x9F\r\n");
}

// Runs an image maker on a folder; false when it is not installed.
bool MakeImage(const std::string& command, const fs::path& folder, const fs::path& image) {
    const std::string line = command + " -quiet -input-charset utf-8 -o '" + image.string() + "' '" +
                             folder.string() + "' >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

TEST(IsoDisc, JolietNamesBeyondTheFirst65536CharactersAreKept) {
    TempDir scratch;
    const std::string astral = "Gra \xF0\x9F\x8E\xB2.txt";  // a die, U+1F3B2: a surrogate pair in UTF-16
    WriteBytes(scratch / "disc" / "\xC5\x81\xC3\xB3" "d\xC5\xBA" / astral, "kostka");
    WriteBytes(scratch / "disc" / "index.htm", "<html></html>");
    if (!MakeImage("xorriso -as mkisofs -J -joliet-utf16 -V GRY", scratch / "disc", scratch / "disc.iso")) {
        GTEST_SKIP() << "xorriso is not installed";
    }
    auto image = OpenIsoDisc(scratch / "disc.iso");
    EXPECT_EQ(image->Label(), "GRY");
    const auto root = image->List({});
    ASSERT_EQ(root.size(), 2u);
    const auto folder = image->List({"\xC5\x81\xC3\xB3" "d\xC5\xBA"});
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].name, astral);
    auto file = image->Open({"\xC5\x81\xC3\xB3" "d\xC5\xBA", astral});
    char buffer[16];
    ASSERT_EQ(file->Read(buffer, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer, 6), "kostka");
}

TEST(IsoDisc, WithoutJolietTheIso9660NamesAreShownWithoutTheirVersion) {
    TempDir scratch;
    WriteBytes(scratch / "disc" / "INDEX.HTM", "<html></html>");
    WriteBytes(scratch / "disc" / "README", "read me");
    WriteBytes(scratch / "disc" / "DANE" / "TABELA.DBT", "tabela");
    ASSERT_TRUE(MakeImage("genisoimage -V CHIP_0504", scratch / "disc", scratch / "disc.iso"));
    Drive drive('D', OpenIsoDisc(scratch / "disc.iso"), "");
    const auto root = drive.Find("D:\\*", 63);
    std::vector<std::string> names;
    for (const auto& entry : root) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DANE", "INDEX.HTM", "README"}));
    EXPECT_TRUE(drive.FileExists("D:\\dane\\tabela.dbt"));
    EXPECT_EQ(drive.source().Label(), "CHIP_0504");
    auto file = drive.OpenRead("D:\\readme");
    char buffer[16];
    ASSERT_EQ(file->Read(buffer, sizeof buffer), 7u);
}

TEST(IsoDisc, LargeFilesAreReadWholeAcrossManyBlocks) {
    TempDir scratch;
    std::mt19937 random(7);
    std::string bytes(300001, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    WriteBytes(scratch / "disc" / "big.bin", bytes);
    ASSERT_TRUE(MakeImage("genisoimage -J", scratch / "disc", scratch / "disc.iso"));
    auto image = OpenIsoDisc(scratch / "disc.iso");
    auto file = image->Open({"big.bin"});
    EXPECT_EQ(file->Size(), 300001);
    std::string read;
    std::vector<char> buffer(100003);
    for (std::size_t got; (got = file->Read(buffer.data(), buffer.size())) > 0;) {
        read.append(buffer.data(), got);
    }
    EXPECT_TRUE(read == bytes);
}

// The image with the first record of the root directories (the primary's and Joliet's) claiming
// a length no record has.
// The image with the root directory record of every volume descriptor handed to change, by the
// record's offset.
template <typename Change>
std::string WithRootRecords(std::string image, Change change) {
    constexpr std::size_t kBlock = 2048;
    constexpr std::size_t kRootRecord = 156;
    for (std::size_t descriptor = 16; image[descriptor * kBlock] != '\xFF'; ++descriptor) {
        change(image, descriptor * kBlock + kRootRecord);
    }
    return image;
}

std::string WithDamagedRoot(const std::string& image) {
    return WithRootRecords(image, [](std::string& bytes, std::size_t record) {
        const auto* root = reinterpret_cast<const unsigned char*>(bytes.data() + record);
        const uint32_t block = root[2] | root[3] << 8 | root[4] << 16 | static_cast<uint32_t>(root[5]) << 24;
        bytes[block * 2048] = 5;
    });
}

TEST(IsoDisc, FilesThatAreNoImageOrAreCutShortAreRefused) {
    TempDir scratch;
    const std::string image = ReadBytes(SampleImage("enter"));
    struct Case {
        std::string what;
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"a text file", std::string(40000, 'x'), "not an ISO 9660 image"},
        {"an empty file", "", "not an ISO 9660 image"},
        {"cut before the volume descriptor", image.substr(0, 30000), "not an ISO 9660 image"},
        {"cut in the middle", image.substr(0, image.size() / 2), "cut short"},
        {"one byte short", image.substr(0, image.size() - 1), "cut short"},
        {"a damaged root directory", WithDamagedRoot(image), "has no readable root directory"},
        {"a root record without its directory flag",
         WithRootRecords(image, [](std::string& bytes, std::size_t record) { bytes[record + 25] = 0; }),
         "has no readable root directory"},
        {"an empty root record", WithRootRecords(image, [](std::string& bytes, std::size_t record) { bytes[record] = 0; }),
         "has no readable root directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(scratch / "image.iso", c.bytes);
        try {
            OpenIsoDisc(scratch / "image.iso");
            ADD_FAILURE() << "opened";
        } catch (const DiscError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(IsoDisc, RawCdImagesOfBootableDiscsKeepTheirJolietNames) {
    TempDir scratch;
    WriteBytes(scratch / "disc" / "boot.img", std::string(2048, '\x90'));
    WriteBytes(scratch / "disc" / "D\xC5\x82uga nazwa pliku.txt", "tekst");
    ASSERT_TRUE(MakeImage("genisoimage -J -b boot.img -no-emul-boot", scratch / "disc", scratch / "disc.iso"));
    std::string image = ReadBytes(scratch / "disc.iso");
    ASSERT_EQ(image[17 * 2048], '\x00');  // the boot record stands before the Joliet descriptor
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "the boot record's identifier damaged" : "a sound boot record");
        if (damaged) {
            image.replace(17 * 2048 + 1, 5, "XXXXX");
        }
        WriteBytes(scratch / "plain.iso", image);
        WriteCdImage(image, 2, scratch / "raw.bin", scratch / "raw.cue");
        Drive plain('E', OpenIsoDisc(scratch / "plain.iso"), "x");
        Drive raw('E', OpenIsoDisc(scratch / "raw.cue"), "x");
        const auto expected = Walk(plain);
        EXPECT_NE(std::find(expected.begin(), expected.end(), "E:\\" + NameToCp1250("D\xC5\x82uga nazwa pliku.txt") + " 32"),
                  expected.end());
        EXPECT_EQ(Walk(raw), expected);
    }
}

}  // namespace
}  // namespace wertowik
