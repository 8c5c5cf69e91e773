// The CHIP library: recognises both generations of CHIP cover discs and imports the browser
// layout's index or the legacy layout's table.
#include "browser_index.h"
#include "chip_recognition.h"
#include "contract/plugin.h"
#include "legacy_table.h"
#include "platform/platform.h"

namespace wtk {

namespace {

// The layout is chosen afresh on every registration, by one file of each.
constexpr char kBrowserLayoutStarter[] = ":\\startuj.exe";
constexpr char kLegacyLayoutProgram[] = ":\\Chip16.exe";

constexpr char kFailureText[] = "Wystąpił błąd. Proszę skontaktować się z autorem.";

// A disc that shows neither layout's file is left alone: nothing is written, and that is no failure.
void RegisterDisc(Registration& registration) {
    platform::Platform& system = platform::Current();
    if (system.FileExists(DrivePath(kBrowserLayoutStarter))) {
        chip::ImportBrowserIndex(registration);
    } else if (system.FileExists(DrivePath(kLegacyLayoutProgram))) {
        chip::ImportLegacyTable(registration);
    }
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin{
        "CHIP CD",
        "CHIP",
        "Wtyczka do programu Wertowik\rObsługuje płyty magazynu CHIP",
        platform::BoxOwner::None,
        FailureBox{kFailureText, platform::mbIconExclamation},
        FailureBox{kFailureText, platform::mbOk},
        &chip::RecogniseChipDisc,
        &RegisterDisc,
        rrDone,
    };
    return plugin;
}

}  // namespace wtk
