// The Komputer Świat Twój Niezbędnik library: one kind of disc, title-layout pages, and five
// pages that describe no program on every disc.
#include <array>
#include <string_view>

#include "plugins/ks/ks_disc.h"

namespace wtk {

namespace {

constexpr char kIconFile[] = ":\\ks.ico";
constexpr char kAutorunFile[] = ":\\autorun.inf";
constexpr char kInstallerFile[] = ":\\instaluj.exe";

constexpr std::array<std::string_view, 5> kNonProgramPages{
    "archiwum.htm", "blank.htm", "nowy.html", "wertowik.htm", "wertowik_prog.htm",
};

TRegisterAnswer Recognise() {
    platform::Platform& system = platform::Current();
    if (system.FileExists(DrivePath(kIconFile)) && system.FileExists(DrivePath(kAutorunFile)) &&
        system.FileExists(DrivePath(kInstallerFile))) {
        return raFull;
    }
    return raNotMine;
}

void RegisterDisc(Registration& registration) {
    const ks_disc::PageImport import{"KŚ Twój Niezbędnik ", kNonProgramPages, text::PageLayout::Title};
    ks_disc::RegisterKsDisc(registration, import);
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin = ks_disc::KsDiscPlugin(
        "KŚ Twój Niezbędnik", "Wtyczka do programu Wertowik\rObsługuje płyty magazynu Komputer Świat Twój Niezbędnik",
        &Recognise, &RegisterDisc);
    return plugin;
}

}  // namespace wtk
