// Which discs the chip module claims, and which files it looks at to decide.
#include <algorithm>
#include <iterator>
#include <set>

#include "chip_disc.h"

namespace wtk::test {
namespace {

std::vector<std::string> AllOf(const char* const* markers, std::size_t count) {
    return std::vector<std::string>(markers, markers + count);
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
    return s;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    return s;
}

constexpr std::size_t kBrowserCount = std::size(kBrowserMarkers);
constexpr std::size_t kLegacyCount = std::size(kLegacyMarkers);

class ChipRecognition : public ChipModuleTest {
protected:
    void AddAllBut(const char* const* markers, std::size_t count, std::string_view missing) {
        for (std::size_t i = 0; i < count; ++i) {
            if (markers[i] != missing) {
                host_.AddFile(markers[i], "");
            }
        }
    }
};

TEST_F(ChipRecognition, CompleteBrowserSetIsClaimedWithoutTestingTheLegacySet) {
    AddAllBut(kBrowserMarkers, kBrowserCount, "");
    EXPECT_EQ(module_.CanYouRegister(), 0);
    EXPECT_EQ(drive_.Calls(Service::FileExists), AllOf(kBrowserMarkers, kBrowserCount));
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ChipRecognition, LegacySetStandsInWhenTheBrowserSetLacksItsLastFile) {
    AddAllBut(kBrowserMarkers, kBrowserCount, "D:\\Browser\\snd.dll");
    AddAllBut(kLegacyMarkers, kLegacyCount, "");
    EXPECT_EQ(module_.CanYouRegister(), 0);
    std::vector<std::string> expected = AllOf(kBrowserMarkers, kBrowserCount);
    const std::vector<std::string> legacy = AllOf(kLegacyMarkers, kLegacyCount);
    expected.insert(expected.end(), legacy.begin(), legacy.end());
    EXPECT_EQ(drive_.Calls(Service::FileExists), expected);
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ChipRecognition, CompleteLegacySetAloneIsClaimed) {
    AddAllBut(kLegacyMarkers, kLegacyCount, "");
    EXPECT_EQ(module_.CanYouRegister(), 0);
    // The browser set is given up at its first file, which a legacy disc does not carry.
    ASSERT_FALSE(drive_.Calls(Service::FileExists).empty());
    EXPECT_EQ(drive_.Calls(Service::FileExists).front(), "D:\\startuj.exe");
    EXPECT_EQ(drive_.Calls(Service::FileExists).size(), 1 + kLegacyCount);
}

// How many files of a set are tested on a disc holding the given (lower-cased) names: up to and
// including the first that is missing.
std::size_t TestedOf(const char* const* markers, std::size_t count, const std::set<std::string>& present) {
    for (std::size_t i = 0; i < count; ++i) {
        if (present.count(Lower(markers[i])) == 0) {
            return i + 1;
        }
    }
    return count;
}

// Every pair of one file missing from each set: not a CHIP disc, and each set is given up at its
// first missing file. The two sets share chip-cd.ico and, letter case aside, autorun.inf, so
// leaving one of those out shortens the other set's test as well.
TEST_F(ChipRecognition, OneFileMissingFromEachSetIsNotClaimed) {
    for (std::size_t a = 0; a < kBrowserCount; ++a) {
        for (std::size_t b = 0; b < kLegacyCount; ++b) {
            SCOPED_TRACE(std::string(kBrowserMarkers[a]) + " and " + kLegacyMarkers[b]);
            std::set<std::string> present;
            for (const char* marker : kBrowserMarkers) {
                present.insert(Lower(marker));
            }
            for (const char* marker : kLegacyMarkers) {
                present.insert(Lower(marker));
            }
            present.erase(Lower(kBrowserMarkers[a]));
            present.erase(Lower(kLegacyMarkers[b]));
            ChipDrive drive;
            for (const std::string& name : present) {
                drive.host.AddFile(name, "");
            }

            EXPECT_EQ(drive.module.CanYouRegister(), 1);
            std::vector<std::string> expected =
                AllOf(kBrowserMarkers, TestedOf(kBrowserMarkers, kBrowserCount, present));
            const std::vector<std::string> legacy =
                AllOf(kLegacyMarkers, TestedOf(kLegacyMarkers, kLegacyCount, present));
            expected.insert(expected.end(), legacy.begin(), legacy.end());
            EXPECT_EQ(drive.Calls(Service::FileExists), expected);
            EXPECT_TRUE(drive.host.boxes().empty());
        }
    }
}

TEST_F(ChipRecognition, SharedFilesShortenBothTests) {
    // Without chip-cd.ico neither set is complete; the legacy test stops at its 7th file.
    AddAllBut(kBrowserMarkers, kBrowserCount, "D:\\chip-cd.ico");
    AddAllBut(kLegacyMarkers, kLegacyCount, "D:\\chip-cd.ico");
    EXPECT_EQ(module_.CanYouRegister(), 1);
    std::vector<std::string> expected = AllOf(kBrowserMarkers, 4);
    const std::vector<std::string> legacy = AllOf(kLegacyMarkers, 7);
    expected.insert(expected.end(), legacy.begin(), legacy.end());
    EXPECT_EQ(drive_.Calls(Service::FileExists), expected);
}

TEST_F(ChipRecognition, NamesInOtherLetterCasesAreRecognised) {
    struct Case {
        const char* what;
        const char* const* markers;
        std::size_t count;
        std::string (*fold)(std::string);
    };
    const Case cases[] = {
        {"browser set in capitals", kBrowserMarkers, kBrowserCount, &Upper},
        {"browser set in small letters", kBrowserMarkers, kBrowserCount, &Lower},
        {"legacy set in capitals", kLegacyMarkers, kLegacyCount, &Upper},
        {"legacy set in small letters", kLegacyMarkers, kLegacyCount, &Lower},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChipDrive drive;
        for (std::size_t i = 0; i < c.count; ++i) {
            drive.host.AddFile(c.fold(c.markers[i]), "");
        }
        EXPECT_EQ(drive.module.CanYouRegister(), 0);
    }
}

TEST_F(ChipRecognition, EmptyDriveIsNotClaimedAndShowsNoBox) {
    EXPECT_EQ(module_.CanYouRegister(), 1);
    EXPECT_EQ(drive_.Calls(Service::FileExists), (std::vector<std::string>{"D:\\startuj.exe", "D:\\autorun.exe"}));
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ChipRecognition, PathsUseTheDriveLetterOfTheLastInitialisation) {
    module_.InitializePlugin('E');
    module_.InitializePlugin('Q');
    EXPECT_EQ(module_.CanYouRegister(), 1);
    EXPECT_EQ(drive_.Calls(Service::FileExists), (std::vector<std::string>{"Q:\\startuj.exe", "Q:\\autorun.exe"}));
}

TEST_F(ChipRecognition, FailedFileTestShowsTheExclamationBoxAndIsNotClaimed) {
    AddAllBut(kBrowserMarkers, kBrowserCount, "");
    drive_.Fail(Service::FileExists, "D:\\index.htm");
    EXPECT_EQ(module_.CanYouRegister(), 1);
    ASSERT_EQ(host_.boxes().size(), 1u);
    EXPECT_EQ(host_.boxes()[0].text, kFailureText);
    EXPECT_FALSE(host_.boxes()[0].caption.has_value());
    EXPECT_EQ(host_.boxes()[0].flags, 0x30u);
    EXPECT_FALSE(host_.boxes()[0].owned);
    // The test ends at the failure: neither the rest of the browser set nor the legacy set is tested.
    EXPECT_EQ(drive_.Calls(Service::FileExists), AllOf(kBrowserMarkers, 3));
}

TEST_F(ChipRecognition, NamesAndInfoBox) {
    EXPECT_STREQ(module_.PluginName(), "CHIP CD");
    EXPECT_STREQ(module_.CDName(), "CHIP");
    EXPECT_EQ(module_.PluginName(), module_.PluginName());
    EXPECT_EQ(module_.Info(), 1);
    ASSERT_EQ(host_.boxes().size(), 1u);
    EXPECT_EQ(host_.boxes()[0].text, "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu CHIP");
    EXPECT_EQ(host_.boxes()[0].caption, std::optional<std::string>("Informacje o wtyczce"));
    EXPECT_EQ(host_.boxes()[0].flags, 0u);
}

}  // namespace
}  // namespace wtk::test
