// A built plug-in module loaded into the test process, attached to a FakeHost, called through
// its exports exactly as a host calls them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "contract/host_stream.h"
#include "contract/records.h"
#include "fake_host.h"

namespace wtk::test {

// Collects the percentages a module reports; one log is active at a time.
class ProgressLog {
public:
    ProgressLog();
    ProgressLog(const ProgressLog&) = delete;
    ProgressLog& operator=(const ProgressLog&) = delete;
    ~ProgressLog();

    TProgressProc proc() const;
    const std::vector<int32_t>& values() const { return values_; }

private:
    static void WTK_STDCALL Report(int32_t percent);
    std::vector<int32_t> values_;
    ProgressLog* previous_;
};

class PluginModule {
public:
    // Loads NAME.so from the build's plug-in folder (a fresh copy of its state when it was not
    // loaded) and hands it the host's service table.
    PluginModule(const std::string& name, const FakeHost& host);
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    ~PluginModule();

    bool HasExport(const char* name) const;

    uint8_t InitializePlugin(char letter) const;
    int32_t Info() const;
    const char* PluginName() const;
    const char* CDName() const;
    uint8_t CanYouRegister() const;
    uint8_t RegisterCD(HostStream** discStream, HostStream** entryStream, const TDiscRecord& record,
                       TProgressProc progress) const;

private:
    void* Symbol(const char* name) const;
    void* handle_;
};

// A host record: the identifier, the label (up to 14 characters, the rest of its room filled
// with 'Z' so that passing it through shows) and four bytes of host data.
TDiscRecord MakeRecord(uint16_t discId, const std::string& label, const std::string& hostData = "\xDE\xAD\xBE\xEF");

}  // namespace wtk::test
