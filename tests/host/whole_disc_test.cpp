// The pieces behind a catalogue of whole discs: the walk over a disc's tree, how names are folded
// and matched, what the word index is asked, HTML entities, and where a mounted disc comes from.
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli_runner.h"
#include "host/base/display_text.h"
#include "host/base/text_fold.h"
#include "host/catalogue/word_query.h"
#include "host/discs/disc_tree.h"
#include "host/discs/mounted_disc.h"

namespace wertowik {
namespace {

namespace fs = std::filesystem;
using wtk::test::TempDir;
using wtk::test::WriteBytes;

TEST(WholeDisc, NamesAreFoldedAndMatchedAsPeopleExpect) {
    struct Case {
        std::string pattern, name;
        bool matches;
    };
    const Case cases[] = {
        {"*.exe", "setup.exe", true},
        {"*.exe", "setup.exe.txt", false},
        {"set?p.exe", "setup.exe", true},
        {"?", "\xC5\x82", true},  // one character, two bytes
        {"*a*b", "aXbXb", true},
        {"*a*b", "aXbX", false},
        {"**", "", true},
        {"", "x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobMatches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
    }
    EXPECT_EQ(LowerCaseUtf8("SETUP.EXE \xC5\x81\xC3\x93"
                            "D\xC5\xB9"),
              "setup.exe \xC5\x82\xC3\xB3"
              "d\xC5\xBA");
    EXPECT_EQ(FoldForSearch("\xC5\xB9R\xC3\x93"
                            "D\xC5\x81O \xC3\x9F"),
              "zrodlo \xC3\x9F");
}

TEST(WholeDisc, NamePatternsAndWordsBecomeQueriesOfTheWordIndex) {
    struct Case {
        std::string text, expression;
    };
    const Case patterns[] = {
        {"*.exe", "\"exe\""},
        {"setup*", "\"setup\"*"},
        {"set?p.exe", "\"set\"* \"exe\""},
        {"*etup*", ""},  // nothing begins a word: every name is looked at
        {"install_v2.*", "\"install\" \"v2\""},
    };
    for (const Case& c : patterns) {
        EXPECT_EQ(PatternExpression(c.text), c.expression) << c.text;
    }
    // No phrases: the file index keeps no positions.
    EXPECT_EQ(TermExpression("setup.exe ab"), "\"setup\" \"exe\" \"ab\"");
    EXPECT_EQ(TermExpression("[6n]0;x"), "\"6n\" \"0\" \"x\"");
}

TEST(WholeDisc, HtmlEntitiesAreDecodedForDisplayOnly) {
    struct Case {
        std::string raw, shown;
    };
    const Case cases[] = {
        {"Tom &amp; Jerry", "Tom & Jerry"},
        {"&quot;zr&oacute;b&quot;",
         "\"zr\xC3\xB3"
         "b\""},
        {"&#322;&#x142;&#X141;", "\xC5\x82\xC5\x82\xC5\x81"},
        {"a&nbsp;b",
         "a\xC2\xA0"
         "b"},
        {"&unknown; & &#0; &#xD800; &#", "&unknown; & &#0; &#xD800; &#"},
        {"&ampamp;", "&ampamp;"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeEntities(c.raw), c.shown) << c.raw;
    }
    EXPECT_EQ(DisplayText("Tom &amp; \xB3"
                          "atwy"),
              "Tom & \xC5\x82"
              "atwy");  // Windows-1250 in
    EXPECT_EQ(NameToUtf8("\xB3\xF3"
                         "d\x9F"),
              "\xC5\x82\xC3\xB3"
              "d\xC5\xBA");
    EXPECT_EQ(NameToUtf8("\xC5\x82"
                         "a"),
              "\xC5\x82"
              "a");
}

TEST(WholeDisc, TheWalkIsOrderedBoundedAndNeverWalksAFolderTwice) {
    TempDir dir;
    const fs::path disc = dir / "disc";
    WriteBytes(disc / "b.txt", "12345");
    WriteBytes(disc / "A" / "z.exe", "1");
    WriteBytes(disc / ".windows-label", "LABEL");
    fs::create_directory_symlink("..", disc / "A" / "up");  // leads back to the root
    fs::path deep = disc;
    for (int level = 0; level < 12; ++level) {
        deep /= "d";
    }
    WriteBytes(deep / "bottom", "");

    const DiscTree whole = WalkDisc(*OpenFolderDisc(disc));
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < whole.entries.size(); ++i) {
        std::string path;
        for (const std::string& name : TreePathNames(whole, i)) {
            path += (path.empty() ? "" : "/") + name;
        }
        paths.push_back(path);
    }
    ASSERT_GE(paths.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(paths.begin(), paths.begin() + 3),
              (std::vector<std::string>{"A", "b.txt", "d"}));
    EXPECT_EQ(whole.entries[1].size, 5);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "A/up"), 1);  // listed, not walked
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "A/up/b.txt"), 0);
    EXPECT_EQ(paths.back(), "d/d/d/d/d/d/d/d/d/d/d/d/bottom");
    EXPECT_TRUE(whole.problems.empty());

    const DiscTree shallow = WalkDisc(*OpenFolderDisc(disc), TreeLimits{1000, 5});
    EXPECT_EQ(shallow.problems.size(), 1u);
    EXPECT_LT(shallow.entries.size(), whole.entries.size());
    const DiscTree few = WalkDisc(*OpenFolderDisc(disc), TreeLimits{3, 128});
    EXPECT_EQ(few.entries.size(), 3u);
    EXPECT_EQ(few.problems.size(), 1u);
    // The same files under other letter case are the same disc; another size is not.
    EXPECT_NE(whole.fingerprint, shallow.fingerprint);
    fs::rename(disc / "b.txt", disc / "B.TXT");
    EXPECT_EQ(WalkDisc(*OpenFolderDisc(disc)).fingerprint, whole.fingerprint);
    WriteBytes(disc / "B.TXT", "1234");
    EXPECT_NE(WalkDisc(*OpenFolderDisc(disc)).fingerprint, whole.fingerprint);
}

TEST(WholeDisc, AMountedDiscIsFoundInTheMountTable) {
    const std::string mountinfo =
        "22 1 8:1 / / rw - ext4 /dev/vda rw\n"
        "36 22 11:0 / /media/cd\\040rom ro,relatime - iso9660 /dev/sr0 ro\n"
        "37 22 0:5 / /mnt/tmp rw shared:3 master:1 - tmpfs tmpfs rw\n"
        "38 36 11:1 / /media/cd\\040rom ro - udf /dev/sr1 ro\n"
        "39 22 11:0 / /short\n";
    EXPECT_EQ(MountSource("/media/cd rom", mountinfo), "/dev/sr1");  // the later mount hides the earlier
    EXPECT_EQ(MountSource("/mnt/tmp", mountinfo), "tmpfs");
    EXPECT_EQ(MountSource("/media", mountinfo), std::nullopt);
    EXPECT_EQ(MountSource("/short", mountinfo), std::nullopt);
    // A folder that is no mount point of a block device has no label of its own there.
    TempDir dir;
    EXPECT_EQ(MountedDiscLabel(dir.path()), std::nullopt);
}

}  // namespace
}  // namespace wertowik
