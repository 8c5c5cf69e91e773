// One plug-in library, loaded by file name with its exports bound by name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "contract/host_stream.h"
#include "contract/records.h"
#include "platform/host_services.h"

namespace wertowik {

// The libraries, in the order a disc is offered to them.
const std::vector<std::string>& PluginNames();

class PluginModule {
public:
    using InitializeFn = uint8_t (*)(char);
    using InfoFn = int32_t (*)();
    using TextFn = const char* (*)();
    using AnswerFn = uint8_t (*)();
    using RegisterFn = uint8_t (*)(HostStream**, HostStream**, wtk::TDiscRecord, wtk::TProgressProc);
    using CancelFn = void (*)();
    using AttachFn = void (*)(const WertowikHostServices*);

    // Loads the library; throws std::runtime_error with a one-line reason when the file is missing,
    // is no library, or lacks an export every library has.
    static std::unique_ptr<PluginModule> Load(const std::string& name, const std::filesystem::path& file);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& name() const { return name_; }
    const std::filesystem::path& file() const { return file_; }

    InitializeFn initializePlugin = nullptr;  // absent in a library that serves no drive
    InfoFn info = nullptr;
    TextFn pluginName = nullptr;
    TextFn cdName = nullptr;
    AnswerFn canYouRegister = nullptr;
    RegisterFn registerCD = nullptr;
    CancelFn cancel = nullptr;  // optional
    AttachFn attachHost = nullptr;

    // The export names the library has, of those the host knows.
    std::vector<std::string> Exports() const;

private:
    PluginModule(std::string name, std::filesystem::path file, void* handle)
        : name_(std::move(name)), file_(std::move(file)), handle_(handle) {}

    std::string name_;
    std::filesystem::path file_;
    void* handle_;
};

// The folder the host finds its libraries in when none is given: next to the host's own folder.
std::filesystem::path DefaultPluginFolder();

}  // namespace wertowik
