// How a registration picks the disc's layout: by one file of each, afresh on every call.
#include <string>

#include "chip_disc.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

using namespace std::string_literals;

class ChipLayout : public ChipModuleTest {
protected:
    void AddBothImports() {
        host_.AddFile(kIndexPath, IndexOf({"1\tEdytor 9.0\tOpis", kTrailerLine}));
        host_.AddFile(kTablePath, std::string(kTableHeader) + "\r\n" +
                                      TableLine("1", "Gra 2.1", "Akcja", "gry", "Shareware") + "\r\n");
        drive_.SetLabel("CHIP_05_99");
    }
};

TEST_F(ChipLayout, NeitherLayoutWritesNothingAndSucceeds) {
    AddBothImports();
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs, "");
    EXPECT_EQ(r.entries, "");
    EXPECT_EQ(r.progress, (std::vector<int32_t>{0}));
    EXPECT_EQ(drive_.Calls(Service::FileExists), (std::vector<std::string>{"D:\\startuj.exe", "D:\\Chip16.exe"}));
    EXPECT_TRUE(drive_.Calls(Service::ReadWholeFile).empty());
    EXPECT_TRUE(drive_.Calls(Service::VolumeLabel).empty());
    EXPECT_TRUE(host_.boxes().empty());
}

TEST_F(ChipLayout, StarterProgramChoosesTheIndexEvenBesideTheLegacyProgram) {
    AddBothImports();
    host_.AddFile("D:\\STARTUJ.EXE", "");
    host_.AddFile("D:\\chip16.exe", "");
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs.substr(24), "\x07" "CHIP CD");
    EXPECT_EQ(r.entries, "\x07\x01\x00\x06\x00\x03\x04\x00" "Edytor" "9.0" "Opis"s);
    // No marker set is tested again.
    EXPECT_EQ(drive_.Calls(Service::FileExists), (std::vector<std::string>{"D:\\startuj.exe"}));
    EXPECT_TRUE(drive_.Calls(Service::VolumeLabel).empty());
}

TEST_F(ChipLayout, LegacyProgramAloneChoosesTheTable) {
    AddBothImports();
    host_.AddFile("D:\\Chip16.exe", "");
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.discs.substr(24), "\x04" "CHIP");
    EXPECT_EQ(r.entries, "\x07\x01\x01\x03\x00\x03\x05\x00" "Gra" "2.1" "Akcja"s);
    EXPECT_EQ(drive_.Calls(Service::ReadWholeFile), (std::vector<std::string>{"D:\\Tabela.dbt"}));
}

TEST_F(ChipLayout, ChoiceIsMadeAgainOnEveryCall) {
    AddBothImports();
    host_.AddFile("D:\\startuj.exe", "");
    host_.AddFile("D:\\Chip16.exe", "");
    EXPECT_EQ(Register().discs.substr(24), "\x07" "CHIP CD");
    host_.RemoveFile("D:\\startuj.exe");
    EXPECT_EQ(Register().discs.substr(24), "\x04" "CHIP");
    host_.RemoveFile("D:\\Chip16.exe");
    EXPECT_EQ(Register().discs, "");
}

TEST_F(ChipLayout, RegistrationUsesTheCurrentDriveLetter) {
    host_.AddFile("K:\\startuj.exe", "");
    host_.AddFile("K:\\Browser\\Chip.dat", IndexOf({"1\tEdytor 9.0\tOpis", kTrailerLine}));
    module_.InitializePlugin('K');
    const Registered r = Register();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(drive_.Calls(Service::ReadWholeFile), (std::vector<std::string>{"K:\\Browser\\Chip.dat"}));
    EXPECT_EQ(CountEntries(r.entries), 1u);
}

TEST_F(ChipLayout, FailedFileTestFailsTheRegistration) {
    drive_.Fail(Service::FileExists, "D:\\startuj.exe");
    const Registered r = Register();
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, "");
    ASSERT_EQ(host_.boxes().size(), 1u);
    EXPECT_EQ(host_.boxes()[0].text, kFailureText);
    EXPECT_EQ(host_.boxes()[0].flags, 0u);
}

TEST_F(ChipLayout, UnusableStreamFailsBeforeProgress) {
    AddBothImports();
    host_.AddFile("D:\\startuj.exe", "");
    MemoryHostStream discs, entries;
    entries.FailAt(1, MemoryHostStream::Failure::Size);
    const Registered r = Register(discs, entries);
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.discs, "");
    EXPECT_TRUE(r.progress.empty());
    EXPECT_EQ(host_.boxes().size(), 1u);
}

}  // namespace
}  // namespace wtk::test
