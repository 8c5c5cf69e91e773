// ISO 9660 images through the wertowik command: the same streams as the folder they were made
// from, the label from the volume identifier, Enter's page handed to a viewer, and bad images.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <string>

#include "cli_runner.h"

namespace wtk::test {
namespace {

namespace fs = std::filesystem;

TEST(DiscImage, AnImageAndItsFolderGiveIdenticalStreams) {
    struct Case {
        std::string disc;
        std::vector<std::string> options;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {"enter", {"--no"}, 0},
        {"enter", {"--yes", "--only", "plavik"}, 0},
        {"enter-no-index", {"--yes"}, 0},
        {"polish-names", {}, 1},
        {"unrelated", {"--label", "enter", "--no"}, 0},
        {"chip-browser", {}, 0},
        {"chip-legacy", {}, 0},
        {"ks-ekspert", {}, 0},
        {"ks-ekspert-no-installer", {}, 0},
        {"ks-niezbednik", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disc);
        TempDir out;
        nlohmann::json reports[2];
        int index = 0;
        for (const fs::path& disc : {SampleDisc(c.disc), SampleImage(c.disc)}) {
            std::vector<std::string> arguments{"register", disc.string(), "--no-catalogue",
                                               "--json",   "--streams",   (out / std::to_string(index)).string()};
            arguments.insert(arguments.end(), c.options.begin(), c.options.end());
            const CliResult run = RunWertowik(arguments);
            ASSERT_EQ(run.exitCode, c.exitCode) << disc << ": " << run.err;
            reports[index++] = run.Json();
        }
        EXPECT_EQ(reports[0]["label"], reports[1]["label"]);
        EXPECT_EQ(reports[0]["offers"], reports[1]["offers"]);
        EXPECT_EQ(reports[0]["registered"], reports[1]["registered"]);
        if (c.disc.rfind("chip", 0) == 0 || c.disc.rfind("ks", 0) == 0) {
            EXPECT_FALSE(ReadBytes(out / "1" / "entries.bin").empty());  // programs were read from the image
        }
        for (const char* stream : {"discs.bin", "entries.bin"}) {
            EXPECT_EQ(fs::exists(out / "0" / stream), c.exitCode == 0);
            EXPECT_EQ(ReadBytes(out / "0" / stream), ReadBytes(out / "1" / stream)) << stream;
        }
    }
}

TEST(DiscImage, TheVolumeIdentifierIsTheLabelUnlessOneIsGiven) {
    const CliResult own = RunWertowik({"register", SampleImage("polish-names").string(), "--no-catalogue", "--json"});
    EXPECT_EQ(own.Json()["label"], "NAZWY_2004");
    const CliResult given = RunWertowik(
        {"register", SampleImage("polish-names").string(), "--no-catalogue", "--json", "--label", "enter", "--no"});
    EXPECT_EQ(given.exitCode, 0);
    EXPECT_EQ(given.Json()["label"], "enter");
    EXPECT_EQ(given.Json()["registered"]["plugin"], "enter");
}

TEST(DiscImage, AnImageAndItsFolderAreOneDiscInTheCatalogue) {
    TempDir dir;
    const std::string catalogue = (dir / "catalogue.sqlite").string();
    const CliResult run = RunWertowik({"register", SampleDisc("enter").string(), SampleImage("enter").string(), "--no",
                                       "--catalogue", catalogue, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto reports = run.Json()["discs"];
    EXPECT_EQ(reports[0]["catalogue"]["status"], "stored");
    EXPECT_EQ(reports[1]["catalogue"]["status"], "duplicate");
    const CliResult list = RunWertowik({"list", "--json", "--catalogue", catalogue});
    ASSERT_EQ(list.Json().size(), 1u);
    EXPECT_EQ(list.Json()[0]["source"], fs::canonical(SampleDisc("enter")).string());
    const CliResult image =
        RunWertowik({"register", SampleImage("enter").string(), "--no", "--again", "--catalogue", catalogue, "--json"});
    EXPECT_EQ(image.Json()["catalogue"]["discId"], 2);
    const CliResult list2 = RunWertowik({"list", "--json", "--catalogue", catalogue});
    EXPECT_EQ(list2.Json()[1]["source"], fs::absolute(SampleImage("enter")).lexically_normal().string());
}

// A viewer that keeps a copy of what it was handed and the path it was handed.
fs::path RecordingViewer(const TempDir& dir) {
    const fs::path script = dir / "viewer.sh";
    WriteBytes(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + (dir / "path").string() + "'\ncp \"$1\" '" +
                           (dir / "copy").string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

TEST(DiscImage, EntersPageIsHandedToTheViewerWhenTheAnswerIsYes) {
    const std::string page = ReadBytes(SampleDisc("enter") / "index.htm");
    struct Case {
        fs::path disc;
        std::string answer;
        bool noOpen;
        bool opened;
    };
    const std::vector<Case> cases = {
        {SampleImage("enter"), "--yes", false, true},
        {SampleDisc("enter"), "--yes", false, true},
        {SampleImage("enter"), "--no", false, false},
        {SampleImage("enter"), "--yes", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disc.string() + " " + c.answer + (c.noOpen ? " WERTOWIK_NO_OPEN" : ""));
        TempDir dir;
        const fs::path viewer = RecordingViewer(dir);
        const CliResult run = RunWertowik(
            {"register", c.disc.string(), c.answer, "--no-catalogue", "--json"},
            {"WERTOWIK_OPEN_COMMAND=" + viewer.string(), std::string("WERTOWIK_NO_OPEN=") + (c.noOpen ? "1" : "")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.Json()["registered"]["opened"].size(), c.answer == "--yes" ? 1u : 0u);
        EXPECT_EQ(fs::exists(dir / "copy"), c.opened) << run.err;
        if (!c.opened) {
            continue;
        }
        EXPECT_EQ(ReadBytes(dir / "copy"), page);
        const fs::path handed = ReadBytes(dir / "path");
        if (fs::is_directory(c.disc)) {
            EXPECT_EQ(handed, fs::canonical(c.disc / "index.htm"));  // the folder's own file
        } else {
            EXPECT_EQ(handed.filename(), "index.htm");  // extracted from the image
            EXPECT_NE(handed.string().find("wertowik-page-"), std::string::npos) << handed;
            fs::remove_all(handed.parent_path());
        }
    }
}

TEST(DiscImage, BadImagesAreOneLineErrorsAndLeaveTheCatalogueAlone) {
    TempDir dir;
    const std::string image = ReadBytes(SampleImage("enter"));
    WriteBytes(dir / "text.iso", "To nie jest obraz p\xB3yty.\n" + std::string(50000, '.'));
    WriteBytes(dir / "cut.iso", image.substr(0, image.size() * 2 / 3));
    WriteBytes(dir / "head.iso", image.substr(0, 16 * 2048 + 100));
    WriteBytes(dir / "empty.iso", "");
    ASSERT_EQ(::mkfifo((dir / "pipe.iso").c_str(), 0600), 0);  // would wait for a writer
    const std::string catalogue = (dir / "catalogue.sqlite").string();
    const std::string fresh = (dir / "fresh.sqlite").string();
    ASSERT_EQ(RunWertowik({"register", SampleDisc("enter").string(), "--no", "--catalogue", catalogue}).exitCode, 0);
    const std::string before = ReadBytes(catalogue);
    struct Case {
        std::string file;
        std::string message;
    };
    for (const Case& c :
         {Case{"text.iso", "not an ISO 9660 image"}, Case{"cut.iso", "cut short"}, Case{"head.iso", "cut short"},
          Case{"empty.iso", "not an ISO 9660 image"}, Case{"pipe.iso", "neither a folder nor an image file"},
          Case{"/dev/zero", "neither a folder nor an image file"}}) {
        SCOPED_TRACE(c.file);
        for (const std::string& target : {catalogue, fresh}) {
            const CliResult run = RunWertowik({"register", (dir / c.file).string(), "--catalogue", target, "--no"});
            EXPECT_EQ(run.exitCode, 65);
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        }
        EXPECT_EQ(ReadBytes(catalogue), before);
        EXPECT_FALSE(fs::exists(fresh));
    }
}

// Sets the size a directory record gives (both byte orders) in every record of this name, in
// the primary tree (upper-case name) and the Joliet tree (UTF-16 big-endian); returns how many.
int ClaimSize(std::string& image, const std::string& name, uint32_t size) {
    std::string upper, utf16;
    for (char c : name) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        utf16 += std::string(1, '\0') + c;
    }
    int patched = 0;
    for (const std::string& recorded : {upper, upper + ";1", utf16}) {
        for (std::size_t at = image.find(recorded); at != std::string::npos; at = image.find(recorded, at + 1)) {
            if (at < 33 || static_cast<unsigned char>(image[at - 1]) != recorded.size()) {
                continue;
            }
            const std::size_t record = at - 33;
            for (int i = 0; i < 4; ++i) {
                image[record + 10 + i] = static_cast<char>(size >> (8 * i));
                image[record + 17 - i] = static_cast<char>(size >> (8 * i));
            }
            ++patched;
        }
    }
    return patched;
}

// A damaged record may claim a directory or file of nearly 4 GB on an image of a few hundred KB:
// the disc reads as damaged at once, without setting that memory aside.
TEST(DiscImage, RecordsClaimingMoreThanTheImageHoldsAreDamaged) {
    TempDir dir;
    struct Case {
        const char* name;
        int exitCode;  // the browser folder unreadable: not claimed; the index unreadable: failed
    };
    for (const Case& c : {Case{"Browser", 1}, Case{"Chip.dat", 2}}) {
        SCOPED_TRACE(c.name);
        std::string image = ReadBytes(SampleImage("chip-browser"));
        ASSERT_EQ(ClaimSize(image, c.name, 0xF0000000u), 2);
        WriteBytes(dir / "damaged.iso", image);
        const CliResult run = RunWertowik({"register", (dir / "damaged.iso").string(), "--no", "--no-catalogue"});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_LT(run.peakRssKb, 64 * 1024);  // not the claimed 4 GB, zero-filled before reading
    }
}

}  // namespace
}  // namespace wtk::test
