// What each of the six libraries must show at its boundary, written out independently of the
// libraries' sources. Polish letters are Windows-1250 bytes written as hex escapes.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace wtk::win32test {

struct IconImage {
    int size;
    int bits;
};

struct LibraryFacts {
    std::string name;
    std::vector<std::string> exportsByOrdinal;  // ordinal 1 first
    std::string pluginName;
    std::string cdName;
    std::string infoText;
    bool boxesOwnedByActiveWindow;
    bool opensFiles;  // imports ShellExecuteA because it uses it
    int gifWidth;
    int gifHeight;
    std::vector<IconImage> iconImages;
    std::string fileDescription;
    std::array<uint16_t, 4> fileVersion;
};

const std::vector<LibraryFacts>& AllLibraries();
// GoogleTest names a library parameter by its name.
inline void PrintTo(const LibraryFacts& facts, std::ostream* out) { *out << facts.name; }
const LibraryFacts& Facts(const std::string& name);

// Box texts of the Enter libraries.
extern const char kEnterQuestion[];
extern const char kEnterQuestionCaption[];
extern const char kEnterRegistrationFailure[];
extern const char kInfoCaption[];
extern const char kContactAuthorFailure[];

}  // namespace wtk::win32test
