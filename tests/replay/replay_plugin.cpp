// A stand-in library for the host's tests, loaded under the name "chip" from a folder of its own
// (build/test-plugins). It claims a disc whose root holds replay.txt and writes what that file
// says, one TAB-separated line at a time (texts in Windows-1250):
//   disc    ISSUE  YEAR  NAME                      the disc record and disc name
//   entry   LICENCE  NAME  VERSION  DESCRIPTION    one program entry
//   many    COUNT                                  COUNT entries "Program 1" ... with progress
//   box     CAPTION  TEXT                          a message box (OK)
//   wait    FILE                                   waits (up to a minute) until the disc's FILE says "go"
//   fail                                           a failure: the frame's box, result 2
// so that registrations with program entries, and failed ones, can be driven end to end without
// depending on the real disc libraries.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "contract/errors.h"
#include "contract/plugin.h"

namespace wtk {

namespace {

constexpr char kMarker[] = ":\\replay.txt";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

TRegisterAnswer Recognise() { return platform::Current().FileExists(DrivePath(kMarker)) ? raFull : raNotMine; }

void Replay(Registration& registration) {
    for (const std::string& line : platform::Current().ReadTextLines(DrivePath(kMarker))) {
        const std::vector<std::string> fields = Fields(line);
        if (fields[0] == "disc" && fields.size() == 4) {
            registration.record.Issue = static_cast<uint8_t>(std::stoi(fields[1]));
            registration.record.Year = static_cast<uint16_t>(std::stoi(fields[2]));
            WriteDiscRecord(registration.discStream, registration.record, fields[3]);
        } else if (fields[0] == "entry" && fields.size() == 5) {
            WriteEntry(registration.entryStream, registration.record, static_cast<TLicenceKind>(std::stoi(fields[1])),
                       fields[2], fields[3], fields[4]);
        } else if (fields[0] == "many" && fields.size() == 2) {
            const int count = std::stoi(fields[1]);
            for (int k = 1; k <= count; ++k) {
                registration.progress.Report(k * 100 / count);
                WriteEntry(registration.entryStream, registration.record, lkFreeware, "Program " + std::to_string(k),
                           "1." + std::to_string(k % 10), "Opis programu numer " + std::to_string(k));
            }
        } else if (fields[0] == "box" && fields.size() == 3) {
            platform::Current().MessageBox(fields[2], fields[1].c_str(), platform::mbOk, platform::BoxOwner::None);
        } else if (fields[0] == "wait" && fields.size() == 2) {
            for (int tries = 0; tries < 600; ++tries) {
                const std::vector<std::string> gate = platform::Current().ReadTextLines(DrivePath(":\\" + fields[1]));
                if (!gate.empty() && gate[0] == "go") {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        } else if (fields[0] == "fail") {
            throw PluginError("replay: asked to fail");
        }
    }
}

}  // namespace

const PluginDescriptor& ThisPlugin() {
    static const PluginDescriptor plugin{
        "Replay",
        "Replay",
        "Replay: a stand-in library for tests",
        platform::BoxOwner::None,
        FailureBox{"Replay: recognition failed", platform::mbOk},
        FailureBox{"Replay: registration failed", platform::mbOk},
        &Recognise,
        &Replay,
        rrDone,
    };
    return plugin;
}

}  // namespace wtk
