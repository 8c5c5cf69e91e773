#include <bit>

#include "notices.h"
#include "plugin.h"

namespace wtk {

static_assert(std::endian::native == std::endian::little, "records are written as little-endian memory");
// Every literal of the libraries is Windows-1250 in the binary.
static_assert(sizeof("ł") == 2 && "ł"[0] == '\xB3', "compile the libraries with -fexec-charset=CP1250");

namespace {
char g_DriveLetter = '\0';
constexpr char kInfoCaption[] = "Informacje o wtyczce";
}  // namespace

char DriveLetter() { return g_DriveLetter; }

void SetDriveLetter(char letter) { g_DriveLetter = letter; }

std::string DrivePath(std::string_view literal) {
    std::string path(1, g_DriveLetter);
    path.append(literal);
    return path;
}

void ShowFailureBox(const FailureBox& box, platform::BoxOwner owner) noexcept {
    if (box.text == nullptr) {
        return;
    }
    try {
        platform::Current().MessageBox(box.text, nullptr, box.flags, owner);
    } catch (...) {
        // The box is the last thing a failed call does; there is nobody left to tell.
    }
}

void ShowExclamationNotice(const char* text) noexcept {
    ShowFailureBox(FailureBox{text, platform::mbIconExclamation}, platform::BoxOwner::None);
}

TRegisterAnswer RunCanYouRegister(const PluginDescriptor& plugin) noexcept {
    TRegisterAnswer answer = raNotMine;
    try {
        answer = plugin.recognise();
    } catch (...) {
        ShowFailureBox(plugin.recognitionFailure, plugin.boxOwner);
    }
    return answer;
}

TRegisterResult RunRegisterCD(const PluginDescriptor& plugin, HostStream** discStream, HostStream** entryStream,
                              const TDiscRecord& record, TProgressProc progress) noexcept {
    TRegisterResult result = rrFailed;
    try {
        StreamAccess disc(discStream);
        StreamAccess entries(entryStream);
        disc.MoveToEnd();
        entries.MoveToEnd();
        const Progress reporter(progress);
        reporter.Report(0);
        TDiscRecord copy = record;
        Registration registration{disc, entries, copy, reporter};
        if (plugin.registerDisc != nullptr) {
            platform::Current().RunReadingFiles([&] { plugin.registerDisc(registration); });
        }
        result = plugin.doneResult;
    } catch (...) {
        ShowFailureBox(plugin.registrationFailure, plugin.boxOwner);
    }
    return result;
}

int32_t RunInfo(const PluginDescriptor& plugin) noexcept {
    try {
        return platform::Current().MessageBox(plugin.infoText, kInfoCaption, platform::mbOk, plugin.boxOwner);
    } catch (...) {
        return 0;
    }
}

}  // namespace wtk
