#include "plugins/enter/enter_disc.h"

#include <string>
#include <string_view>

namespace wtk::enter_disc {

namespace {

constexpr char kRootPath[] = ":\\";
constexpr std::string_view kRecognisedLabel = "enter";
constexpr char kDiscName[] = "Enter";
constexpr char kContentsPage[] = ":\\index.htm";
constexpr char kOpenVerb[] = "open";
constexpr char kQuestionCaption[] = "Uwaga";
constexpr char kQuestion[] =
    "Płyta zawiera informacje o zawartości, ale nie mogą być one wykorzystane do automatycznej rejestracji."
    "\r\r"
    "Czy otworzyć plik zawierający te informacje ?";
// The label is compared on its first 8 characters.
constexpr std::size_t kComparedLabelLength = 8;

}  // namespace

const char kInfoText[] = "Wtyczka obsługująca płyty magazynu Enter";
const FailureBox kRecognitionFailure{
    "Błąd podczas sprawdzania możliwosci rejestracji. Przekaż płytę autorowi programu z celu aktualizacji",
    platform::mbOk};
const FailureBox kRegistrationFailure{
    "Błąd podczas próby rejestracji. Przekaż płytę autorowi programu z celu aktualizacji", platform::mbOk};

TRegisterAnswer RecogniseEnterDisc() {
    const std::string label = platform::Current().VolumeLabel(DrivePath(kRootPath));
    const std::string_view compared = std::string_view(label).substr(0, kComparedLabelLength);
    return compared == kRecognisedLabel ? raDiscOnly : raNotMine;
}

void RegisterEnterDisc(Registration& registration, platform::BoxOwner owner) {
    WriteDiscRecord(registration.discStream, registration.record, kDiscName);

    platform::Platform& system = platform::Current();
    const std::string page = DrivePath(kContentsPage);
    if (system.FileExists(page)) {
        if (system.MessageBox(kQuestion, kQuestionCaption, platform::mbYesNo, owner) == platform::idYes) {
            system.OpenFile(kOpenVerb, page);
        }
    }
}

}  // namespace wtk::enter_disc
