// Disc images in the formats people have (Nero, Alcohol, CloneCD, frames without a descriptor,
// archives) registered through the wertowik command: the same label and streams as the plain
// image they were made from, and clear refusals of what cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "cli_runner.h"
#include "image_writers.h"

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;

// What a registration gave: its exit status, the JSON's label, offers and registration, the streams.
std::string Outcome(const fs::path& disc, const fs::path& streams) {
    const CliResult run =
        RunWertowik({"register", disc.string(), "--no-catalogue", "--json", "--no", "--streams", streams.string()});
    if (run.exitCode != 0) {
        return "exit " + std::to_string(run.exitCode) + ": " + run.err;
    }
    const auto report = run.Json();
    return report["label"].dump() + report["offers"].dump() + report["registered"].dump() +
           ReadBytes(streams / "discs.bin") + ReadBytes(streams / "entries.bin");
}

struct Layout {
    std::string name;
    std::function<Files(const std::string& iso)> files;
    std::string opened;  // the file handed to wertowik
};

std::vector<Layout> Layouts() {
    const auto sectors = [](const std::string& iso) { return static_cast<uint32_t>(iso.size() / 2048); };
    return {
        {"nrg v1 disc-at-once 2048",
         [](const std::string& iso) {
             return Files{{"d.nrg", NrgImage(iso, NrgTable::DaoVersion1, 2048, 0x00)}};
         },
         "d.nrg"},
        {"nrg v2 disc-at-once mode 1 frames",
         [](const std::string& iso) {
             return Files{{"d.nrg", NrgImage(Sectors(iso, 2352, 1), NrgTable::DaoVersion2, 2352, 0x05)}};
         },
         "d.nrg"},
        {"nrg v2 disc-at-once mode 2 with subchannel",
         [](const std::string& iso) {
             return Files{{"d.nrg", NrgImage(Sectors(iso, 2448, 2), NrgTable::DaoVersion2, 2448, 0x11)}};
         },
         "d.nrg"},
        {"nrg v1 track-at-once 2336",
         [](const std::string& iso) {
             return Files{{"d.nrg", NrgImage(Sectors(iso, 2336, 2), NrgTable::TaoVersion1, 2336, 0x03)}};
         },
         "d.nrg"},
        {"nrg v2 track-at-once 2048",
         [](const std::string& iso) {
             return Files{{"d.nrg", NrgImage(iso, NrgTable::TaoVersion2, 2048, 0x00)}};
         },
         "d.nrg"},
        {"mds and mdf, mode 2",
         [=](const std::string& iso) {
             return Files{{"d.mds", MdsDescriptor(0xAB, 2352, sectors(iso), "*.mdf")},
                          {"D.MDF", Sectors(iso, 2352, 2)}};
         },
         "d.mds"},
        {"mdf by its mds, subchannel",
         [=](const std::string& iso) {
             return Files{{"d.mds", MdsDescriptor(0xAA, 2448, sectors(iso), "*.mdf")},
                          {"d.mdf", Sectors(iso, 2448, 1)}};
         },
         "d.mdf"},
        {"mdf alone",
         [](const std::string& iso) {
             return Files{{"d.mdf", Sectors(iso, 2352, 1)}};
         },
         "d.mdf"},
        {"ccd, img and sub",
         [=](const std::string& iso) {
             return Files{{"d.ccd", CcdControl(1, sectors(iso), 4)},
                          {"d.img", Sectors(iso, 2352, 1)},
                          {"d.sub", std::string(96 * sectors(iso), '\0')}};
         },
         "d.ccd"},
        {"img alone, mode 2",
         [](const std::string& iso) {
             return Files{{"d.img", Sectors(iso, 2352, 2)}};
         },
         "d.img"},
        {"bin alone, mode 1",
         [](const std::string& iso) {
             return Files{{"d.bin", Sectors(iso, 2352, 1)}};
         },
         "d.bin"},
        {"bin alone, mode 2",
         [](const std::string& iso) {
             return Files{{"d.bin", Sectors(iso, 2352, 2)}};
         },
         "d.bin"},
        {"bin alone, 2048-byte blocks",
         [](const std::string& iso) {
             return Files{{"d.bin", iso}};
         },
         "d.bin"},
        {"cue sheet by its content",
         [](const std::string& iso) {
             return Files{{"d.txt", "FILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"},
                          {"d.bin", Sectors(iso, 2352, 1)}};
         },
         "d.txt"},
    };
}

TEST(ImageFormat, EachFormatRegistersAsThePlainImage) {
    for (const std::string disc : {"enter", "chip-browser"}) {
        TempDir dir;
        const std::string iso = ReadBytes(SampleImage(disc));
        const std::string expected = Outcome(SampleImage(disc), dir / "plain");
        ASSERT_EQ(expected.rfind("exit", 0), std::string::npos) << expected;
        for (const Layout& layout : Layouts()) {
            SCOPED_TRACE(disc + ": " + layout.name);
            const fs::path folder = dir / "images" / layout.name;
            for (const auto& [name, bytes] : layout.files(iso)) {
                WriteBytes(folder / name, bytes);
            }
            EXPECT_EQ(Outcome(folder / layout.opened, dir / "streams" / layout.name), expected);
        }
    }
}

TEST(ImageFormat, ArchivesRegisterTheImagesTheyHold) {
    TempDir dir;
    TempDir temporary;  // wertowik's TMPDIR: empty again after every run
    const std::string iso = ReadBytes(SampleImage("enter"));
    const std::string expected = Outcome(SampleImage("enter"), dir / "plain");
    const uint32_t sectors = static_cast<uint32_t>(iso.size() / 2048);
    const Files cue = {{"Disc/d.cue", "FILE \"d.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"},
                       {"Disc/d.bin", Sectors(iso, 2352, 2)},
                       {"readme.txt", "Obraz p\xB3yty\n"}};
    struct Case {
        std::string archive, format, filter;
        Files files;
    };
    const std::vector<Case> cases = {
        {"d.zip", "zip", "none", {{"d.iso", iso}}},
        {"d.zip", "zip", "none", cue},
        {"d.7z",
         "7zip",
         "none",
         {{"d.mds", MdsDescriptor(0xAA, 2352, sectors, "*.mdf")}, {"d.mdf", Sectors(iso, 2352, 1)}}},
        {"d.iso.gz", "raw", "gzip", {{"d.iso", iso}}},
        {"d.iso.xz", "raw", "xz", {{"d.iso", iso}}},
        {"d.rar", "rar", "", {{"d.nrg", NrgImage(iso, NrgTable::DaoVersion2, 2048, 0x00)}, {"notes.txt", "x"}}},
        {"d.rar", "rar", "", {{"d.ccd", CcdControl(1, sectors, 4)}, {"d.img", Sectors(iso, 2352, 1)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + " holding " + c.files.front().first);
        const fs::path archive = dir / "archives" / c.archive;
        fs::remove(archive);
        fs::create_directories(archive.parent_path());
        if (c.format == "rar") {
            WriteBytes(archive, RarArchive(c.files));
        } else {
            WriteArchive(archive, c.format, c.filter, c.files);
        }
        EXPECT_EQ(Outcome(archive, dir / "streams" / c.archive), expected);
        EXPECT_TRUE(fs::is_empty(temporary.path()));
    }
    // An archive of two images registers each, into one catalogue, where the copy of a disc
    // catalogued before is a duplicate.
    const fs::path both = dir / "both.zip";
    WriteArchive(both, "zip", "none",
                 {{"a/chip.iso", ReadBytes(SampleImage("chip-browser"))}, {"enter.img", Sectors(iso, 2352, 1)}});
    const std::string catalogue = (dir / "catalogue.sqlite").string();
    ASSERT_EQ(RunWertowik({"register", SampleImage("enter").string(), "--no", "--catalogue", catalogue}).exitCode, 0);
    const CliResult run = RunWertowik({"register", both.string(), "--no", "--json", "--catalogue", catalogue},
                                      {"TMPDIR=" + temporary.path().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto reports = run.Json()["discs"];
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0]["disc"], both.string() + "!/a/chip.iso");
    EXPECT_EQ(reports[0]["registered"]["plugin"], "chip");
    EXPECT_EQ(reports[0]["catalogue"]["status"], "stored");
    EXPECT_EQ(reports[1]["disc"], both.string() + "!/enter.img");
    EXPECT_EQ(reports[1]["catalogue"]["status"], "duplicate");
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

// An archive's images are each registered or reported: a damaged one is counted as failed beside
// the good ones, and none is left out however many the archive holds.
TEST(ImageFormat, EveryImageOfAnArchiveIsRegisteredOrReported) {
    TempDir dir;
    TempDir temporary;
    const std::string iso = ReadBytes(SampleImage("enter"));
    const std::string cut = iso.substr(0, iso.size() / 2);
    fs::create_directories(dir / "empty");
    ASSERT_EQ(RunProgram("/bin/sh", {"-c", "genisoimage -quiet -no-pad -o " + (dir / "small.iso").string() + " " +
                                               (dir / "empty").string()})
                  .exitCode,
              0);
    const std::string small = ReadBytes(dir / "small.iso");
    Files many;
    for (int i = 0; i < 300; ++i) {
        many.push_back({"disc" + std::to_string(1000 + i) + ".iso", small});
    }
    struct Case {
        std::string name;
        Files files;
        std::size_t discs;
        std::vector<std::string> failed;  // the members reported as failed, in the archive's order
        int exitCode;
    };
    const std::vector<Case> cases{
        {"a good and a cut image", {{"good.iso", iso}, {"cut.iso", cut}}, 2, {"cut.iso"}, 65},
        {"a cut and a good image", {{"a/cut.iso", cut}, {"b/good.iso", iso}}, 2, {"a/cut.iso"}, 65},
        {"two cut images", {{"one.iso", cut}, {"two.iso", iso.substr(0, 40000)}}, 2, {"one.iso", "two.iso"}, 65},
        {"300 images", many, 300, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path archive = dir / (c.name + ".zip");
        WriteArchive(archive, "zip", "none", c.files);
        const CliResult run = RunWertowik({"register", archive.string(), "--no", "--no-catalogue", "--json"},
                                          {"TMPDIR=" + temporary.path().string()});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        if (!nlohmann::json::accept(run.out)) {
            ADD_FAILURE() << "no report: " << run.err;
            continue;
        }
        const auto reports = run.Json()["discs"];
        EXPECT_EQ(reports.size(), c.discs);
        std::vector<std::string> failed;
        for (const auto& report : reports) {
            if (report.contains("error")) {
                const std::string name = report["disc"];
                failed.push_back(name.substr(name.find("!/") + 2));
                EXPECT_EQ(report["exitCode"], 65);
                EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
            } else if (c.name != "300 images") {
                EXPECT_EQ(report["registered"]["plugin"], "enter");
            }
        }
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(run.Json()["summary"]["failed"], c.failed.size());
        EXPECT_TRUE(fs::is_empty(temporary.path()));
    }
    // Past the most one archive may hold, nothing is registered, and the refusal says how many it holds.
    for (int i = 300; i < 600; ++i) {
        many.push_back({"disc" + std::to_string(1000 + i) + ".iso", small});
    }
    WriteArchive(dir / "600.zip", "zip", "none", many);
    const CliResult refused = RunWertowik({"register", (dir / "600.zip").string(), "--no", "--no-catalogue"},
                                          {"TMPDIR=" + temporary.path().string()});
    EXPECT_EQ(refused.exitCode, 65);
    EXPECT_NE(refused.err.find("holds 600 disc images"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

// What fails while an image is made ready to be read is said with the system's reason, a full disk
// with exit 74; a damaged archive is said to be one even where libarchive gives no reason.
TEST(ImageFormat, WhatFailsIsSaidWithItsReason) {
    TempDir dir;
    const std::string iso = ReadBytes(SampleImage("enter"));
    WriteArchive(dir / "disc.zip", "zip", "none", {{"disc.iso", iso}});
    WriteBytes(dir / "disc.bin", Sectors(iso, 2352, 1));
    WriteBytes(dir / "disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    WriteBytes(dir / "bad.7z", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + std::string(64, 'g'));
    const CliResult bad = RunWertowik({"register", (dir / "bad.7z").string(), "--no", "--no-catalogue"});
    EXPECT_EQ(bad.exitCode, 65);
    EXPECT_EQ(bad.err.find("unknown error"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("bad.7z cannot be unpacked: "), std::string::npos) << bad.err;
    // TMPDIR a tmpfs of 64 KB, filled up for the cue sheet, too small for the unpacked image.
    const std::optional<CliResult> full = RunInPrivateMounts(
        "W=\"$0\" D=\"$1\"; mkdir \"$D/tmp\" && mount -t tmpfs -o size=64k tmpfs \"$D/tmp\" || exit 9;"
        "r() { TMPDIR=\"$D/tmp\" \"$W\" register \"$D/$1\" --no --no-catalogue --quiet; echo \"$1 $?\"; };"
        "r disc.zip; head -c 1000000 /dev/zero > \"$D/tmp/fill\" 2>/dev/null; r disc.cue",
        {BuildProgram("wertowik"), dir.path().string()});
    if (!full) {
        GTEST_SKIP() << "no mount namespace to fill a disk in";
    }
    EXPECT_EQ(full->out, "disc.zip 74\ndisc.cue 74\n") << full->err;
    // One line each, naming what failed and ending in the system's reason.
    const std::string reason = std::strerror(ENOSPC);
    const std::string zip = full->err.substr(0, full->err.find('\n') + 1);
    const std::string cue = full->err.substr(zip.size());
    EXPECT_NE(zip.find("disc.zip into "), std::string::npos) << zip;
    EXPECT_TRUE(zip.ends_with(": " + reason + "\n")) << zip;
    EXPECT_NE(cue.find("disc.cue"), std::string::npos) << cue;
    EXPECT_TRUE(cue.ends_with(": " + reason + "\n")) << cue;
    EXPECT_EQ(std::count(cue.begin(), cue.end(), '\n'), 1) << cue;
}

TEST(ImageFormat, WhatCannotBeReadIsRefusedInOneLineNamingATool) {
    TempDir dir;
    TempDir temporary;
    const std::string iso = ReadBytes(SampleImage("enter"));
    const uint32_t sectors = static_cast<uint32_t>(iso.size() / 2048);
    const std::string frames = Sectors(iso, 2352, 1);
    const std::string nrg = NrgImage(frames, NrgTable::DaoVersion2, 2352, 0x05);
    WriteBytes(dir / "disc.chd", "MComprHD" + std::string(120, '\0'));
    WriteBytes(dir / "disc.cdi", iso + std::string("\x06\0\0\x80\x00\x10\0\0", 8));
    WriteBytes(dir / "audio.nrg", NrgImage(std::string(40 * 2352, '\x11'), NrgTable::DaoVersion1, 2352, 0x07));
    WriteBytes(dir / "audio.mds", MdsDescriptor(0xA9, 2352, 40, "*.mdf"));
    WriteBytes(dir / "audio.mdf", std::string(40 * 2352, '\x11'));
    WriteBytes(dir / "audio.ccd", CcdControl(1, 40, 0));
    WriteBytes(dir / "audio.img", std::string(40 * 2352, '\x11'));
    WriteBytes(dir / "audio.cue",
               "FILE \"audio.img\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
               "  TRACK 02 MODE1/2352\n    INDEX 01 00:00:40\n");
    WriteBytes(dir / "cut.nrg", nrg.substr(0, nrg.size() - 1));  // its footer damaged
    WriteBytes(dir / "short.nrg", nrg.substr(nrg.size() / 2));   // its table points past it
    WriteBytes(dir / "cut.mds", MdsDescriptor(0xAA, 2352, sectors, "*.mdf"));
    WriteBytes(dir / "cut.mdf", frames.substr(0, frames.size() / 2));
    WriteBytes(dir / "lost.mds", MdsDescriptor(0xAA, 2352, sectors, "elsewhere.mdf"));
    WriteBytes(dir / "damaged.mds", MdsDescriptor(0xAA, 2352, sectors, "*.mdf").substr(0, 0x60));
    WriteBytes(dir / "damaged.ccd", CcdControl(1, sectors, 4).substr(0, 120));
    const std::string rar = RarArchive({{"d.iso", iso}});
    WriteBytes(dir / "cut.rar", rar.substr(0, rar.size() / 2));
    WriteBytes(dir / "garbage.zip", std::string("PK\x03\x04\x14\0\0\0\x08\0", 10) + std::string(3000, '\x7F'));
    WriteArchive(dir / "locked.zip", "zip", "none", {{"d.iso", iso}}, "tajne");
    WriteArchive(dir / "none.zip", "zip", "none", {{"readme.txt", "nic"}});
    // A bomb: 300 MB of zeros in an archive of some 300 KB.
    ASSERT_EQ(RunProgram("/bin/sh", {"-c", "head -c 300000000 /dev/zero | gzip -1 > " + (dir / "bomb.iso.gz").string()})
                  .exitCode,
              0);
    struct Case {
        std::string file, message;
    };
    const std::vector<Case> cases = {
        {"disc.chd", "chdman from mame-tools"},
        {"disc.cdi", "iat (package iat)"},
        {"audio.nrg", "first track is audio"},
        {"audio.mds", "first track is audio"},
        {"audio.ccd", "first track is audio"},
        {"audio.cue", "bchunk (package bchunk)"},
        {"audio.img", "audio.cue is a cue sheet whose first track is audio"},
        {"cut.nrg", "not an ISO 9660 image"},
        {"short.nrg", "track table cannot be read"},
        {"cut.mds", "cut short"},
        {"lost.mds", "names elsewhere.mdf for its frames, which is not beside it"},
        {"damaged.mds", "first track cannot be read"},
        {"damaged.ccd", "names no first track"},
        {"cut.rar", "cannot be unpacked"},
        {"garbage.zip", "cannot be unpacked"},
        {"locked.zip", "encrypted archive"},
        {"none.zip", "holds no disc image"},
        {"bomb.iso.gz", "unpacks to more than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const CliResult run = RunWertowik({"register", (dir / c.file).string(), "--no", "--no-catalogue"},
                                          {"TMPDIR=" + temporary.path().string()});
        EXPECT_EQ(run.exitCode, c.file == "lost.mds" ? 66 : 65);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_LT(run.peakRssKb, 64 * 1024);
        EXPECT_TRUE(fs::is_empty(temporary.path()));
    }
}

}  // namespace
}  // namespace wtk::test
