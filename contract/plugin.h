// What a plug-in library tells the shared export frames about itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host_calls.h"
#include "platform/platform.h"
#include "records.h"
#include "stream_writer.h"

namespace wtk {

// A failure message box: its text and flags (no caption of its own).
struct FailureBox {
    const char* text = nullptr;
    uint32_t flags = platform::mbOk;
};

// Reports a percentage to the host's callback; a failure in the callback is thrown as a PluginError.
class Progress {
public:
    explicit Progress(TProgressProc proc) : proc_(proc) {}
    void Report(int32_t percent) const {
        if (proc_ != nullptr) {
            HostProgress(proc_, percent);
        }
    }

private:
    TProgressProc proc_;
};

// position × 100 ÷ total, truncated, for a position that moves a little at a time, as a line
// counter or a read position does: the division is only made when the percentage changes, not for
// every line. total must not be 0.
class PercentOf {
public:
    explicit PercentOf(uint64_t total) : total_(total) {}

    int32_t At(uint64_t position) {
        const uint64_t scaled = position * 100;
        if (scaled < low_ || scaled >= high_) {
            percent_ = scaled / total_;
            low_ = percent_ * total_;
            high_ = low_ + total_;
        }
        return static_cast<int32_t>(percent_);
    }

private:
    uint64_t total_;
    uint64_t percent_ = 0;
    // Every scaled position in [low_, high_) gives percent_; empty at first.
    uint64_t low_ = 1;
    uint64_t high_ = 0;
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
