// The export frame of the libraries, driven in-process: codes, constant texts, the Info box, and
// a stream that fails at every single operation of a registration.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "host/modules/registration.h"
#include "memory_host_stream.h"

namespace wertowik {
namespace {

using wtk::test::MemoryHostStream;
using wtk::test::TempDir;

const std::string kRegistrationFailureEnter =
    "B\xB3\xB9"
    "d podczas pr\xF3"
    "by rejestracji. Przeka\xBF p\xB3yt\xEA autorowi programu z celu aktualizacji";
const std::string kRegistrationFailureVexlo =
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";

class RecordingUi final : public UserInterface {
public:
    int32_t ShowBox(const BoxRecord& box) override {
        shown.push_back(box);
        return (box.flags & 0x0F) == 4 ? answer : 1;
    }
    void OpenFile(const OpenRecord& request, Drive*) override { opened.push_back(request); }
    std::vector<BoxRecord> shown;
    std::vector<OpenRecord> opened;
    int32_t answer = 7;
};

std::unique_ptr<PluginModule> Load(const std::string& name) {
    return PluginModule::Load(name, std::filesystem::path(WERTOWIK_PLUGIN_DIR) / (name + ".so"));
}

class LibraryFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        wtk::test::WriteBytes(disc / "index.htm", "<html></html>");
        drive = std::make_unique<Drive>('E', OpenFolderDisc(disc.path()), "enter");
        session = std::make_unique<Session>(drive.get(), ui);
    }

    TempDir disc;
    std::unique_ptr<Drive> drive;
    RecordingUi ui;
    std::unique_ptr<Session> session;
};

TEST_F(LibraryFrameTest, ConstantTextsKeepTheirAddresses) {
    struct Case {
        const char* name;
        std::string pluginName, cdName;
    };
    const Case cases[] = {
        {"enter", "Enter", "Enter"},
        {"plavik", "Enter Extra", "Enter Extra"},
        {"vexlo", "VEXLO[nie obs\xB3ugiwane]", "VEXLO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto module = Load(c.name);
        const char* name = module->pluginName();
        const char* cd = module->cdName();
        EXPECT_EQ(name, c.pluginName);
        EXPECT_EQ(cd, c.cdName);
        module->attachHost(session->services());
        MemoryHostStream discs, entries;
        RegisterWith(*module, *session, discs.variable(), entries.variable(), DefaultRecord(1, "enter"));
        EXPECT_EQ(module->pluginName(), name);
        EXPECT_EQ(module->cdName(), cd);
        EXPECT_EQ(std::string(name), c.pluginName);
    }
}

TEST_F(LibraryFrameTest, InfoBoxes) {
    struct Case {
        const char* name;
        std::string text;
        bool owned;
    };
    const Case cases[] = {
        {"enter",
         "Wtyczka obs\xB3uguj\xB9"
         "ca p\xB3yty magazynu Enter",
         true},
        {"plavik",
         "Wtyczka obs\xB3uguj\xB9"
         "ca p\xB3yty magazynu Enter",
         false},
        {"vexlo", "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu PC World Komputer", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto module = Load(c.name);
        module->attachHost(session->services());
        ui.shown.clear();
        EXPECT_EQ(module->info(), 1);
        ASSERT_EQ(ui.shown.size(), 1u);
        EXPECT_EQ(ui.shown[0].text, c.text);
        EXPECT_EQ(ui.shown[0].caption, std::optional<std::string>("Informacje o wtyczce"));
        EXPECT_EQ(ui.shown[0].flags, 0u);
        EXPECT_EQ(ui.shown[0].owned, c.owned);
    }
}

TEST_F(LibraryFrameTest, InitializePluginKeepsTheLastLetter) {
    auto module = Load("enter");
    module->attachHost(session->services());
    EXPECT_EQ(module->initializePlugin('F'), 1);
    EXPECT_EQ(module->canYouRegister(), 1);  // no disc in F
    EXPECT_EQ(module->initializePlugin('E'), 1);
    EXPECT_EQ(module->canYouRegister(), 2);
    module->attachHost(nullptr);  // a module without the host's table sees no drives
    EXPECT_EQ(module->canYouRegister(), 1);
}

TEST_F(LibraryFrameTest, StubLeavesStreamsAsTheyAre) {
    auto module = Load("vexlo");
    module->attachHost(session->services());
    EXPECT_EQ(module->canYouRegister(), 1);
    MemoryHostStream discs, entries;
    discs.Preload("disc bytes");
    entries.Preload("entry bytes");
    module->cancel();
    const Registered registered =
        RegisterWith(*module, *session, discs.variable(), entries.variable(), DefaultRecord(9, "x"));
    EXPECT_EQ(registered.result, 1);
    EXPECT_EQ(registered.progress, std::vector<int32_t>{0});
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(discs.bytes(), "disc bytes");
    EXPECT_EQ(entries.bytes(), "entry bytes");
    EXPECT_EQ(discs.position(), 10);
    EXPECT_EQ(entries.position(), 11);
    EXPECT_EQ(module->canYouRegister(), 1);
}

TEST_F(LibraryFrameTest, AFailingStreamGivesOneBoxAndAPrefix) {
    struct Case {
        const char* name;
        const std::string* failureText;
    };
    const Case cases[] = {
        {"enter", &kRegistrationFailureEnter},
        {"plavik", &kRegistrationFailureEnter},
        {"vexlo", &kRegistrationFailureVexlo},
    };
    for (const Case& c : cases) {
        auto module = Load(c.name);
        module->attachHost(session->services());
        if (module->initializePlugin != nullptr) {
            module->initializePlugin('E');
        }
        const wtk::TDiscRecord record = DefaultRecord(3, "enter");
        MemoryHostStream goodDiscs, goodEntries;
        ui.shown.clear();
        const Registered good = RegisterWith(*module, *session, goodDiscs.variable(), goodEntries.variable(), record);
        ASSERT_EQ(good.result, 1);
        const int discOperations = goodDiscs.operations(), entryOperations = goodEntries.operations();
        ASSERT_GT(discOperations, 0);
        for (int failing = 0; failing < 2; ++failing) {
            const int operations = failing == 0 ? discOperations : entryOperations;
            for (int k = 1; k <= operations; ++k) {
                SCOPED_TRACE(std::string(c.name) + (failing == 0 ? " disc" : " entry") + " operation " +
                             std::to_string(k));
                MemoryHostStream discs, entries;
                (failing == 0 ? discs : entries).FailAt(k, MemoryHostStream::Failure::AnyOperation);
                ui.shown.clear();
                const Registered failed = RegisterWith(*module, *session, discs.variable(), entries.variable(), record);
                EXPECT_EQ(failed.result, 2);
                ASSERT_EQ(ui.shown.size(), 1u);
                EXPECT_EQ(ui.shown[0].text, *c.failureText);
                EXPECT_FALSE(ui.shown[0].caption.has_value());
                EXPECT_EQ(ui.shown[0].flags, 0u);
                EXPECT_EQ(goodDiscs.bytes().compare(0, discs.bytes().size(), discs.bytes()), 0);
                EXPECT_LT(discs.bytes().size() + entries.bytes().size(),
                          goodDiscs.bytes().size() + goodEntries.bytes().size() + (c.name[0] == 'v' ? 1u : 0u));
                EXPECT_TRUE(entries.bytes().empty());
            }
        }
    }
}

}  // namespace
}  // namespace wertowik
