#include "library_facts.h"

#include <stdexcept>

namespace wtk::win32test {

namespace {

const std::vector<std::string> kFiveExports = {"InitializePlugin", "Info",           "CDName",
                                               "PluginName",       "CanYouRegister", "RegisterCD"};
const std::vector<std::string> kStubExports = {"Info", "CDName", "PluginName", "CanYouRegister", "Cancel", "RegisterCD"};

const std::vector<IconImage> kNineImages = {{16, 4}, {32, 4}, {48, 4}, {16, 8},  {32, 8},
                                            {48, 8}, {16, 24}, {32, 24}, {48, 24}};
const std::vector<IconImage> kOneImage = {{32, 8}};

const char kWtyczka[] = "Wtyczka do programu Wertowik";
const char kPlugin[] = "Plugin do programu Wertowik";
const char kEnterInfo[] = "Wtyczka obs\xB3uguj\xB9" "ca p\xB3yty magazynu Enter";

}  // namespace

const char kEnterQuestion[] =
    "P\xB3yta zawiera informacje o zawarto\x9C" "ci, ale nie mog\xB9 by\xE6 one wykorzystane do automatycznej "
    "rejestracji.\r\rCzy otworzy\xE6 plik zawieraj\xB9" "cy te informacje ?";
const char kEnterQuestionCaption[] = "Uwaga";
const char kEnterRegistrationFailure[] =
    "B\xB3\xB9" "d podczas pr\xF3" "by rejestracji. Przeka\xBF p\xB3yt\xEA autorowi programu z celu aktualizacji";
const char kInfoCaption[] = "Informacje o wtyczce";
const char kContactAuthorFailure[] = "Wyst\xB9pi\xB3 b\xB3\xB9" "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";

static_assert(sizeof kEnterQuestion - 1 == 149, "the Enter question has 149 characters");

const std::vector<LibraryFacts>& AllLibraries() {
    static const std::vector<LibraryFacts> libraries = {
        {"chip", kFiveExports, "CHIP CD", "CHIP", "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu CHIP",
         false, false, 69, 45, kNineImages, kWtyczka, {1, 1, 2004, 40}},
        {"tarvo", kFiveExports, "K\x8C Ekspert", "K\x8C Ekspert",
         "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu Komputer \x8Cwiat Ekspert", false, false, 69,
         45, kNineImages, kWtyczka, {1, 0, 2004, 17}},
        {"holvar", kFiveExports, "K\x8C Tw\xF3j Niezb\xEA" "dnik", "K\x8C Tw\xF3j Niezb\xEA" "dnik",
         "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu Komputer \x8Cwiat Tw\xF3j Niezb\xEA" "dnik",
         false, false, 50, 50, kOneImage, kWtyczka, {1, 0, 2004, 4}},
        {"enter", kFiveExports, "Enter", "Enter", kEnterInfo, true, true, 79, 66, kNineImages, kPlugin,
         {1, 0, 2004, 7}},
        {"plavik", kFiveExports, "Enter Extra", "Enter Extra", kEnterInfo, false, true, 79, 66, kNineImages, kPlugin,
         {1, 0, 2004, 8}},
        {"vexlo", kStubExports, "VEXLO[nie obs\xB3ugiwane]", "VEXLO",
         "Wtyczka do programu Wertowik\rObs\xB3uguje p\xB3yty magazynu PC World Komputer", false, false, 50, 50,
         kNineImages, kWtyczka, {1, 0, 2004, 6}},
    };
    return libraries;
}

const LibraryFacts& Facts(const std::string& name) {
    for (const LibraryFacts& facts : AllLibraries()) {
        if (facts.name == name) {
            return facts;
        }
    }
    throw std::out_of_range("no library " + name);
}

}  // namespace wtk::win32test
