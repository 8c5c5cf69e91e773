// The Komputer Świat Ekspert library. Discs without the installer in their root lay their pages
// out differently and carry five pages that describe no program.
#include <array>
#include <string_view>

#include "plugins/ks/ks_disc.h"

namespace wtk {

namespace {

constexpr char kIconFile[] = ":\\tarvo.ico";
constexpr char kAutorunFile[] = ":\\autorun.inf";
constexpr char kInstallerFile[] = ":\\instaluj.exe";

constexpr std::array<std::string_view, 5> kNonProgramPages{
    "head.htm", "szukanie.htm", "help.htm", "poczatek.htm", "poczatek.html",
};

// Set by every recognition, read by the registration that follows it.
bool InstallerMissing = false;

TRegisterAnswer Recognise() {
    platform::Platform& system = platform::Current();
    InstallerMissing = !system.FileExists(DrivePath(kInstallerFile));
    if (system.FileExists(DrivePath(kIconFile)) && system.FileExists(DrivePath(kAutorunFile))) {
        return raFull;
    }
    return raNotMine;
}

void RegisterDisc(Registration& registration) {
    ks_disc::PageImport import{"KŚ Ekspert ", {}, text::PageLayout::Paragraph};
    if (InstallerMissing) {
        import.nonProgramPages = kNonProgramPages;
        import.layout = text::PageLayout::Division;
    }
    ks_disc::RegisterKsDisc(registration, import);
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin = ks_disc::KsDiscPlugin(
        "KŚ Ekspert", "Wtyczka do programu Wertowik\rObsługuje płyty magazynu Komputer Świat Ekspert", &Recognise,
        &RegisterDisc);
    return plugin;
}

}  // namespace wtk
