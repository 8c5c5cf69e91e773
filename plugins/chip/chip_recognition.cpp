#include "chip_recognition.h"

#include <span>

#include "contract/plugin.h"
#include "platform/platform.h"

namespace wtk::chip {

namespace {

// Set A: the browser layout (start program, contents page, the disc browser and its index).
constexpr const char* kBrowserLayoutMarkers[] = {
    ":\\startuj.exe",          ":\\start.exe",          ":\\index.htm",
    ":\\chip-cd.ico",          ":\\autorun.inf",        ":\\Browser\\chip.skn",
    ":\\Browser\\About.gfx",   ":\\Browser\\chip.avi",  ":\\Browser\\chip-cds.exe",
    ":\\Browser\\Chip-cd.exe", ":\\Browser\\setup.exe", ":\\Browser\\Chip.cnt",
    ":\\Browser\\chip.dat",    ":\\Browser\\Chip.hlp",  ":\\Browser\\ChipS.hlp",
    ":\\Browser\\snd.dll",
};

// Set B: the legacy layout (16- and 32-bit program pairs and the three tables in the root).
constexpr const char* kLegacyLayoutMarkers[] = {
    ":\\autorun.exe",  ":\\Autorun.inf",  ":\\Chip16.exe",   ":\\Chip16.hlp", ":\\chip32.exe",   ":\\Chip32.hlp",
    ":\\chip-cd.ico",  ":\\Czytajto.wri", ":\\Hierarch.dbt", ":\\Kopiuj.hlp", ":\\kopiuj16.exe", ":\\kopiuj32.exe",
    ":\\Nviewl16.dll", ":\\NViewLib.dll", ":\\Obiekty.dbt",  ":\\Tabela.dbt", ":\\Xcdunz32.dll", ":\\Xcdunzip.dll",
};

static_assert(std::size(kBrowserLayoutMarkers) == 16 && std::size(kLegacyLayoutMarkers) == 18);

// True when every file of the set exists; stops at the first that does not.
bool AllMarkersExist(std::span<const char* const> markers) {
    platform::Platform& system = platform::Current();
    for (const char* marker : markers) {
        if (!system.FileExists(DrivePath(marker))) {
            return false;
        }
    }
    return true;
}

}  // namespace

TRegisterAnswer RecogniseChipDisc() {
    if (AllMarkersExist(kBrowserLayoutMarkers)) {
        return raFull;
    }
    if (AllMarkersExist(kLegacyLayoutMarkers)) {
        return raFull;
    }
    return raNotMine;
}

}  // namespace wtk::chip
