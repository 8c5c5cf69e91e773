// The Enter libraries and the stub library, end to end through the wertowik command.
#include <gtest/gtest.h>

#include <string>

#include "cli_runner.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace wtk::test {
namespace {

// DiscId 0x0102, Issue 7, Year 2004, Label "enter", HostData DE AD BE EF, NameLength 0.
const std::string kRecordHex = "0201" "07" "d407" "05656e746572" "000000000000000000" "deadbeef" "00";
const std::string kRecordBytes("\x02\x01\x07\xd4\x07\x05" "enter" "\0\0\0\0\0\0\0\0\0" "\xde\xad\xbe\xef", 24);

const char kQuestionUtf8[] =
    "P\xC5\x82yta zawiera informacje o zawarto\xC5\x9B" "ci, ale nie mog\xC4\x85 by\xC4\x87 one wykorzystane do "
    "automatycznej rejestracji.\r\rCzy otworzy\xC4\x87 plik zawieraj\xC4\x85" "cy te informacje ?";

std::size_t CodePoints(const std::string& utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) {
        count += (c & 0xC0) != 0x80;
    }
    return count;
}

CliResult RegisterEnter(const std::string& plugin, const std::string& disc, const std::string& answer,
                        const TempDir& out) {
    return RunWertowik({"register", SampleDisc(disc).string(), "--drive", "E", "--label", "enter", "--only", plugin,
                        answer, "--record", kRecordHex, "--streams", out.path().string(), "--json",
                        "--no-catalogue"});
}

TEST(EnterDisc, RegistersTheDiscAndAsksAboutTheContentsPage) {
    struct Case {
        std::string plugin;
        bool owned;
    };
    for (const Case& c : {Case{"enter", true}, Case{"plavik", false}}) {
        for (const std::string answer : {"--no", "--yes"}) {
            SCOPED_TRACE(c.plugin + " " + answer);
            TempDir out;
            const CliResult run = RegisterEnter(c.plugin, "enter", answer, out);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(ReadBytes(out / "discs.bin"), kRecordBytes + "\x05" "Enter");
            EXPECT_EQ(ReadBytes(out / "entries.bin"), "");
            const auto json = run.Json();
            const auto& registered = json["registered"];
            EXPECT_EQ(registered["plugin"], c.plugin);
            EXPECT_EQ(registered["result"], 1);
            EXPECT_EQ(registered["progress"], nlohmann::json::array({0}));
            ASSERT_EQ(registered["boxes"].size(), 1u);
            const auto& box = registered["boxes"][0];
            EXPECT_EQ(box["caption"], "Uwaga");
            EXPECT_EQ(box["flags"], 4);
            EXPECT_EQ(box["owned"], c.owned);
            EXPECT_EQ(box["text"], kQuestionUtf8);
            EXPECT_EQ(CodePoints(box["text"]), 149u);
            if (answer == "--yes") {
                ASSERT_EQ(registered["opened"].size(), 1u);
                EXPECT_EQ(registered["opened"][0]["verb"], "open");
                EXPECT_EQ(registered["opened"][0]["file"], "E:\\index.htm");
            } else {
                EXPECT_TRUE(registered["opened"].empty());
            }
            ASSERT_EQ(registered["discs"].size(), 1u);
            EXPECT_EQ(registered["discs"][0]["name"], "Enter");
            EXPECT_EQ(registered["discs"][0]["discId"], 0x0102);
        }
    }
}

TEST(EnterDisc, WithoutContentsPageNoQuestionIsAsked) {
    for (const std::string plugin : {"enter", "plavik"}) {
        SCOPED_TRACE(plugin);
        TempDir out;
        const CliResult run = RegisterEnter(plugin, "enter-no-index", "--yes", out);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(out / "discs.bin"), kRecordBytes + "\x05" "Enter");
        const auto json = run.Json();
        EXPECT_TRUE(json["registered"]["boxes"].empty());
        EXPECT_TRUE(json["registered"]["opened"].empty());
        EXPECT_EQ(json["registered"]["progress"], nlohmann::json::array({0}));
    }
}

TEST(EnterDisc, OnlyTheExactLabelIsRecognised) {
    for (const std::string plugin : {"enter", "plavik"}) {
        for (const std::string label : {"ENTER", "Enter", "enter2", "ente", "enter 2004", ""}) {
            SCOPED_TRACE(plugin + " label '" + label + "'");
            const CliResult run = RunWertowik({"register", SampleDisc("enter").string(), "--label", label, "--only",
                                               plugin, "--json", "--no-catalogue"});
            EXPECT_EQ(run.exitCode, 1) << run.err;
            const auto json = run.Json();
            ASSERT_EQ(json["offers"].size(), 1u);
            EXPECT_EQ(json["offers"][0]["answer"], 1);
            EXPECT_TRUE(json["offers"][0]["boxes"].empty());
            EXPECT_TRUE(json["registered"].is_null());
        }
    }
}

TEST(EnterDisc, DiscsLabelFileGivesTheLabel) {
    const CliResult run = RunWertowik({"register", SampleDisc("enter").string(), "--no", "--json", "--no-catalogue"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = run.Json();
    EXPECT_EQ(json["label"], "enter");
    // Offered in order; the first to claim registers, and later libraries are not asked.
    const auto& offers = json["offers"];
    ASSERT_FALSE(offers.empty());
    EXPECT_EQ(offers.back()["plugin"], "enter");
    EXPECT_EQ(offers.back()["answer"], 2);
    for (std::size_t i = 0; i + 1 < offers.size(); ++i) {
        EXPECT_EQ(offers[i]["answer"], 1) << offers[i]["plugin"];
    }
    EXPECT_EQ(json["registered"]["plugin"], "enter");
}

TEST(UnrelatedDisc, NoLibraryClaimsIt) {
    const CliResult run = RunWertowik({"register", SampleDisc("unrelated").string(), "--json", "--no-catalogue"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const auto json = run.Json();
    EXPECT_TRUE(json["registered"].is_null());
    for (const auto& offer : json["offers"]) {
        EXPECT_EQ(offer["answer"], 1) << offer["plugin"];
    }
    EXPECT_EQ(json["offers"].back()["plugin"], "vexlo");
}

TEST(Decode, ReadsBackTheStreamsAndReportsATruncatedOne) {
    TempDir out;
    ASSERT_EQ(RegisterEnter("enter", "enter", "--no", out).exitCode, 0);
    const CliResult decoded =
        RunWertowik({"decode", (out / "discs.bin").string(), (out / "entries.bin").string(), "--json"});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const auto json = decoded.Json();
    ASSERT_EQ(json["discs"].size(), 1u);
    EXPECT_EQ(json["discs"][0]["name"], "Enter");
    EXPECT_EQ(json["discs"][0]["year"], 2004);
    EXPECT_TRUE(json["discsTruncatedAt"].is_null());

    const std::string full = ReadBytes(out / "discs.bin");
    WriteBytes(out / "cut.bin", full + full.substr(0, 27));
    WriteBytes(out / "cut-entries.bin", std::string("\x01\x00\x02\x05\x00\x00\x00\x00" "ab", 10));
    const CliResult cut =
        RunWertowik({"decode", (out / "cut.bin").string(), (out / "cut-entries.bin").string(), "--json"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    const auto cutJson = cut.Json();
    EXPECT_EQ(cutJson["discs"].size(), 1u);
    EXPECT_EQ(cutJson["discsTruncatedAt"], 30);
    EXPECT_TRUE(cutJson["entries"].empty());
    EXPECT_EQ(cutJson["entriesTruncatedAt"], 0);
    const CliResult text = RunWertowik({"decode", (out / "cut.bin").string(), (out / "cut-entries.bin").string()});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("ends inside a record"), std::string::npos);
}

TEST(Usage, BadInputIsOneLineAndExitCodeAbove63) {
    TempDir scratch;
    const std::string disc = SampleDisc("enter").string();
    // A plug-in folder that exists but holds no library: one line, not one per missing library.
    std::filesystem::create_directories(scratch / "empty-plugins");
    const std::string emptyPlugins = (scratch / "empty-plugins").string();
    const std::vector<std::vector<std::string>> cases = {
        {"register", (scratch / "missing").string(), "--no-catalogue"},
        {"register", disc, "--only", "nosuch", "--no-catalogue"},
        {"register", disc, "--record", "0102", "--no-catalogue"},
        {"register", disc, "--record", std::string(50, 'g'), "--no-catalogue"},
        {"register", disc, "--plugins", (scratch / "none").string(), "--no-catalogue"},
        {"register", disc, "--plugins", emptyPlugins, "--no-catalogue"},
        {"register", disc, "--plugins", emptyPlugins, "--only", "enter", "--no-catalogue"},
        {"plugins", "--plugins", emptyPlugins},
        {"register", disc, "--drive", "1", "--no-catalogue"},
        {"register", disc, "--drive", "69", "--no-catalogue"},  // not the character of code 69
        {"register", disc, "--drive", "EF", "--no-catalogue"},
        {"register", disc, "--yes", "--no"},
        {"frobnicate"},
        {"decode", (scratch / "a").string(), (scratch / "b").string()},
    };
    for (const auto& arguments : cases) {
        std::string line;
        for (const auto& a : arguments) line += a + " ";
        SCOPED_TRACE(line);
        const CliResult run = RunWertowik(arguments);
        EXPECT_GE(run.exitCode, 64);
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
}

TEST(Usage, OutputThatCannotBeWrittenAndInputThatCannotBeReadAreErrors) {
    TempDir scratch;
    const std::string disc = SampleDisc("enter").string();
    const std::string catalogue = (scratch / "c.sqlite").string();
    ASSERT_EQ(RunWertowik({"register", disc, "--no", "--quiet", "--catalogue", catalogue}).exitCode, 0);
    std::filesystem::create_symlink("loop", scratch / "loop");
    // A folder where a stream should go: the stream cannot be made (a full disk is the host tests' part).
    std::filesystem::create_directories(scratch / "taken" / "entries.bin");
    WriteBytes(scratch / "file", "");  // no folder to write streams into
    struct Case {
        std::vector<std::string> arguments;
        bool outputToFullDevice;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"export", "--catalogue", catalogue}, true, 74, "cannot write to standard output"},
        {{"export", "--format", "csv", "--catalogue", catalogue}, true, 74, "cannot write to standard output"},
        {{"list", "--json", "--catalogue", catalogue}, true, 74, "cannot write to standard output"},
        {{"search", "enter", "--limit", "-2", "--catalogue", catalogue}, false, 64, "never negative"},
        {{"list", "--catalogue", (scratch / "loop").string()}, false, 66, "cannot reach catalogue"},
        {{"decode", scratch.path().string(), scratch.path().string()}, false, 66, "it is a folder"},
        {{"register", disc, "--no", "--no-catalogue", "--streams", (scratch / "taken").string()}, false, 73,
         "cannot write"},
        {{"register", disc, "--no", "--no-catalogue", "--streams", (scratch / "file" / "x").string()}, false, 73,
         "cannot make"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.arguments) line += a + " ";
        SCOPED_TRACE(line);
        std::vector<std::string> shell = {"-c", std::string("exec \"$0\" \"$@\"") + (c.outputToFullDevice ? " > /dev/full" : ""),
                                          BuildProgram("wertowik")};
        shell.insert(shell.end(), c.arguments.begin(), c.arguments.end());
        const CliResult run = RunProgram("/bin/sh", shell);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        // The last line says it (the Enter library's box comes before it).
        ASSERT_FALSE(run.err.empty());
        const std::size_t lastLine = run.err.rfind('\n', run.err.size() - 2);
        EXPECT_NE(run.err.find(c.message, lastLine == std::string::npos ? 0 : lastLine), std::string::npos) << run.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch / "taken"), {}), 1);
}

TEST(Usage, LabelsAndPathsOutsideTheCodePagesStillGiveJson) {
    TempDir scratch;
    // A folder named in Windows-1250 ("p\xB3yta"), not UTF-8: the JSON shows the stray byte as
    // U+FFFD rather than failing after the disc was registered.
    const std::filesystem::path folder = scratch / "p\xB3yta";
    std::filesystem::copy(SampleDisc("enter"), folder, std::filesystem::copy_options::recursive);
    const std::filesystem::path catalogue = scratch / "c.sqlite";
    const CliResult run = RunWertowik({"register", folder.string(), "--label", "enter", "--no", "--json",
                                       "--catalogue", catalogue.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.Json()["disc"], (scratch / "p\xEF\xBF\xBDyta").string());
    EXPECT_EQ(run.Json()["catalogue"]["status"], "stored");

    // A label character Windows-1250 lacks becomes "?", the Polish letters stay.
    const CliResult label = RunWertowik({"register", SampleDisc("enter").string(), "--label",
                                         "P\xC5\x82yta \xE2\x9C\x93 2004", "--no", "--json", "--no-catalogue"});
    EXPECT_EQ(label.Json()["label"], "P\xC5\x82yta ? 2004");
}

TEST(Plugins, AMissingLibraryIsReportedAndSkipped) {
    TempDir folder;
    std::filesystem::copy_file(std::filesystem::path(WERTOWIK_PLUGIN_DIR) / "vexlo.so", folder / "vexlo.so");
    WriteBytes(folder / "enter.so", "not a library");
    const CliResult run = RunWertowik({"plugins", "--plugins", folder.path().string(), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = run.Json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["plugin"], "vexlo");
    EXPECT_EQ(json[0]["pluginName"], "VEXLO[nie obs\xC5\x82ugiwane]");
    EXPECT_EQ(json[0]["exports"], nlohmann::json::array({"Info", "CDName", "PluginName", "CanYouRegister", "Cancel",
                                                         "RegisterCD"}));
    EXPECT_NE(run.err.find("chip"), std::string::npos);
    EXPECT_NE(run.err.find("enter"), std::string::npos);

    const CliResult reg = RunWertowik({"register", SampleDisc("enter").string(), "--plugins",
                                       folder.path().string(), "--json", "--no-catalogue"});
    EXPECT_EQ(reg.exitCode, 1) << reg.err;
    EXPECT_EQ(reg.Json()["offers"].size(), 1u);
}

}  // namespace
}  // namespace wtk::test
