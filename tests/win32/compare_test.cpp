// Every sample disc registered twice, once by wertowik with the Linux module and once under Wine by
// the Windows DLL of the same library (tests/win32/host/win32_host_main.cpp), with the disc mapped
// as CD-ROM drive D: of the test prefix. Both must answer, write, report progress, show boxes and
// open files identically, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace wtk::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kLibraries[] = {"chip", "tarvo", "holvar", "enter", "plavik", "vexlo"};
constexpr char kDrive = 'D';
// DiscId 0x0A0B, Issue 12, Year 2004, Label "PLYTA_12_04", HostData 01 02 03 04, NameLength 0x7F.
const char kRecordHex[] = "0b0a" "0c" "d407" "0b504c5954415f31325f3034000000" "01020304" "7f";

struct Case {
    std::string disc;
    std::string library;
    std::string answer;  // --yes or --no
    bool givenRecord;    // --record, or the host's default record
};

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name = info.param.disc + "_" + info.param.library + "_" + info.param.answer.substr(2) +
                       (info.param.givenRecord ? "_record" : "");
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                    '_');
    return name;
}

void PrintTo(const Case& c, std::ostream* out) { *out << CaseName(testing::TestParamInfo<Case>(c, 0)); }

fs::path LinuxModule(const std::string& library) {
    return fs::path(WERTOWIK_BUILD_DIR) / "plugins" / (library + ".so");
}
fs::path WindowsDll(const std::string& library) {
    return fs::path(WTK_WIN32_BUILD_DIR) / "plugins" / (library + ".dll");
}

// Every sample disc the build wrote, with every library the Linux build has.
std::vector<Case> AllCases() {
    std::vector<std::string> discs;
    const fs::path samples = fs::path(WERTOWIK_BUILD_DIR) / "samples-out";
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(samples, error)) {
        if (entry.is_directory()) {
            discs.push_back(entry.path().filename().string());
        }
    }
    std::sort(discs.begin(), discs.end());
    std::vector<Case> cases;
    for (const std::string& disc : discs) {
        for (const char* library : kLibraries) {
            if (!fs::exists(LinuxModule(library))) {
                continue;
            }
            cases.push_back({disc, library, "--yes", false});
            cases.push_back({disc, library, "--no", false});
            cases.push_back({disc, library, "--yes", true});
        }
    }
    return cases;
}

CliResult RunInWine(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {WTK_RUN_IN_WINE, WTK_WINE_DIR});
    return RunProgram(WTK_BASH, arguments);
}

// Maps the disc folder as drive D: of the test prefix (registered there as a CD-ROM drive). Wine
// reads a CD-ROM's label once per server, so a new disc in the drive takes a new Wine server.
void MapDrive(const fs::path& disc) {
    const fs::path link = fs::path(WTK_WINE_DIR) / "prefix" / "dosdevices" / "d:";
    const fs::path target = fs::absolute(disc);
    std::error_code error;
    if (fs::read_symlink(link, error) == target) {
        return;
    }
    fs::remove(link);
    fs::create_directory_symlink(target, link);
    RunInWine({"wineserver", "--kill"});
    RunInWine({"wineserver", "--wait"});
}

std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::vector<std::string> CommonArguments(const Case& c) {
    std::vector<std::string> arguments = {"--drive", std::string(1, kDrive), "--only", c.library, c.answer};
    if (c.givenRecord) {
        arguments.insert(arguments.end(), {"--record", kRecordHex});
    }
    return arguments;
}

CliResult RunLinux(const Case& c, const TempDir& out) {
    std::vector<std::string> arguments = {"register", SampleDisc(c.disc).string()};
    const std::vector<std::string> common = CommonArguments(c);
    arguments.insert(arguments.end(), common.begin(), common.end());
    arguments.insert(arguments.end(), {"--streams", out.path().string(), "--json", "--no-catalogue"});
    return RunWertowik(arguments);
}

CliResult RunWindows(const Case& c, const TempDir& out) {
    std::vector<std::string> arguments = {std::string(WTK_WIN32_BUILD_DIR) + "/bin/wtk_win32_host.exe", "register"};
    const std::vector<std::string> common = CommonArguments(c);
    arguments.insert(arguments.end(), common.begin(), common.end());
    arguments.insert(arguments.end(), {"--streams", WindowsPath(out.path())});
    return RunInWine(arguments);
}

class CompareTest : public testing::TestWithParam<Case> {};

TEST_P(CompareTest, WindowsDllDoesWhatTheLinuxModuleDoes) {
    const Case& c = GetParam();
    if (!fs::exists(WindowsDll(c.library))) {
        GTEST_SKIP() << WindowsDll(c.library) << " is not built";
    }
    MapDrive(SampleDisc(c.disc));
    TempDir linuxOut;
    TempDir windowsOut;
    const CliResult linuxRun = RunLinux(c, linuxOut);
    const CliResult windowsRun = RunWindows(c, windowsOut);

    ASSERT_EQ(windowsRun.exitCode, linuxRun.exitCode) << "Linux: " << linuxRun.err << "\nWindows: " << windowsRun.err;
    ASSERT_LT(linuxRun.exitCode, 64) << linuxRun.err;
    const json l = linuxRun.Json();
    const json w = windowsRun.Json();

    EXPECT_EQ(w["unbalancedCalls"], json::array()) << "stack or registers off after these calls";
    EXPECT_EQ(w["drive"], l["drive"]);
    EXPECT_EQ(w["label"], l["label"]);
    EXPECT_EQ(w["offers"], l["offers"]);
    ASSERT_EQ(w["registered"].is_null(), l["registered"].is_null());
    if (l["registered"].is_null()) {
        EXPECT_FALSE(fs::exists(windowsOut / "discs.bin"));
        return;
    }
    for (const char* key : {"plugin", "result", "progress", "boxes", "opened"}) {
        EXPECT_EQ(w["registered"][key], l["registered"][key]) << key;
    }
    for (const char* stream : {"discs.bin", "entries.bin"}) {
        ASSERT_TRUE(fs::exists(linuxOut / stream)) << stream;
        ASSERT_TRUE(fs::exists(windowsOut / stream)) << stream;
        EXPECT_EQ(ReadBytes(windowsOut / stream), ReadBytes(linuxOut / stream)) << stream;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, CompareTest, testing::ValuesIn(AllCases()), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CompareTest);

}  // namespace
}  // namespace wtk::test
