// Komputer Świat discs in memory and one registration through a loaded module.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_host.h"
#include "ks_pages.h"
#include "memory_host_stream.h"
#include "plugin_module.h"

namespace wtk::test {

inline constexpr char kDrive = 'E';
inline const std::string kPageFolder = "E:\\datalo\\htm\\";

// The failure boxes of both libraries, Windows-1250.
inline const std::string kRegistrationFailureText =
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";
inline const std::string kRecognitionFailureText =
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem wtyczki.";

inline ShownBox RegistrationFailureBox() { return ShownBox{kRegistrationFailureText, std::nullopt, 0x00, false}; }
inline ShownBox RecognitionFailureBox() { return ShownBox{kRecognitionFailureText, std::nullopt, 0x30, false}; }

struct Registered {
    uint8_t result = 0xFF;
    std::string disc;
    std::string entries;
    std::vector<int32_t> progress;
};

class KsDiscTest : public ::testing::Test {
protected:
    void AddRootFile(const std::string& name) { host.AddFile(std::string("E:\\") + name, "marker"); }
    void AddPage(const std::string& name, const std::string& bytes) { host.AddFile(kPageFolder + name, bytes); }

    std::unique_ptr<PluginModule> Load(const char* plugin) {
        auto module = std::make_unique<PluginModule>(plugin, host);
        EXPECT_EQ(module->InitializePlugin(kDrive), 1);
        return module;
    }

    // RegisterCD of a loaded module on fresh streams (or on those given).
    Registered Register(const PluginModule& module, const TDiscRecord& record) {
        ProgressLog log;
        Registered out;
        out.result = module.RegisterCD(discStream.variable(), entryStream.variable(), record, log.proc());
        out.disc = discStream.bytes();
        out.entries = entryStream.bytes();
        out.progress = log.values();
        EXPECT_EQ(host.openSearches(), 0u) << "a directory search was left open";
        EXPECT_EQ(host.openFiles(), 0u) << "a file was left open";
        return out;
    }

    // The host's order for one disc: InitializePlugin, CanYouRegister, then RegisterCD.
    Registered Offer(const char* plugin, const TDiscRecord& record, uint8_t expectedAnswer = 0) {
        const auto module = Load(plugin);
        EXPECT_EQ(module->CanYouRegister(), expectedAnswer);
        return Register(*module, record);
    }

    FakeHost host;
    MemoryHostStream discStream;
    MemoryHostStream entryStream;
};

}  // namespace wtk::test
