// What a plug-in library tells the shared export frames about itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "records.h"
#include "stream_writer.h"

namespace wtk {

// A failure message box: its text and flags (no caption of its own).
struct FailureBox {
    const char* text = nullptr;
    uint32_t flags = platform::mbOk;
};

// Reports a percentage to the host's callback.
class Progress {
public:
    explicit Progress(TProgressProc proc) : proc_(proc) {}
    void Report(int32_t percent) const {
        if (proc_ != nullptr) {
            proc_(percent);
        }
    }

private:
    TProgressProc proc_;
};

// Everything a plug-in's registration works with; the streams are already at their ends.
struct Registration {
    StreamAccess& discStream;
    StreamAccess& entryStream;
    TDiscRecord& record;  // the plug-in's own copy of the host's record
    const Progress& progress;
};

struct PluginDescriptor {
    const char* pluginName;
    const char* cdName;
    const char* infoText;
    platform::BoxOwner boxOwner;
    FailureBox recognitionFailure;
    FailureBox registrationFailure;
    // The disc test; its answer is taken only when it returns normally.
    TRegisterAnswer (*recognise)();
    // The import; the frame returns doneResult when it returns normally.
    void (*registerDisc)(Registration&);
    TRegisterResult doneResult;
};

// Defined once by each plug-in library.
const PluginDescriptor& ThisPlugin();

// The drive letter InitializePlugin stored (NUL until then).
char DriveLetter();
void SetDriveLetter(char letter);

// A disc path: the drive letter followed by a literal that begins with ":\".
std::string DrivePath(std::string_view literal);

// The frames every export with real work runs in; no exception leaves them.
TRegisterAnswer RunCanYouRegister(const PluginDescriptor& plugin) noexcept;
TRegisterResult RunRegisterCD(const PluginDescriptor& plugin, HostStream** discStream, HostStream** entryStream,
                              const TDiscRecord& record, TProgressProc progress) noexcept;
int32_t RunInfo(const PluginDescriptor& plugin) noexcept;

// Shows a failure box; never throws.
void ShowFailureBox(const FailureBox& box, platform::BoxOwner owner) noexcept;

}  // namespace wtk
