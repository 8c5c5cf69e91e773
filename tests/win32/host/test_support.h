// Shared pieces of the Windows tests: loading a library or skipping when it is not built yet,
// and readable names for parameterised tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "library_facts.h"
#include "plugin_library.h"

namespace wtk::win32test {

// The library, loaded with its stand-ins; nullptr when its DLL is not in the plug-in folder.
std::unique_ptr<PluginLibrary> LoadIfBuilt(const std::string& name);

// Skips the current test when the library is not built; fails it when it is but does not load.
#define WTK_LOAD_OR_SKIP(variable, name)                                                   \
    std::unique_ptr<PluginLibrary> variable = LoadIfBuilt(name);                           \
    if (!variable) {                                                                       \
        GTEST_SKIP() << (name) << ".dll is not built";                                     \
    }                                                                                      \
    ASSERT_TRUE(variable->loaded()) << "LoadLibraryA failed for " << variable->file()      \
                                    << " (error " << GetLastError() << ")"

struct LibraryName {
    std::string operator()(const testing::TestParamInfo<LibraryFacts>& info) const { return info.param.name; }
};

// A CHIP disc of the browser layout in the root of drive C:, with an index of 2 MB (large enough to
// be read through a view of the file); removed again.
class LargeIndexDisc {
public:
    LargeIndexDisc();
    LargeIndexDisc(const LargeIndexDisc&) = delete;
    LargeIndexDisc& operator=(const LargeIndexDisc&) = delete;
    ~LargeIndexDisc();
};

// How many exceptions reached the process's unhandled-exception filter since the program started.
int UnhandledExceptionsSeen();

// Bytes as a C string with hex escapes, for failure messages.
std::string Escaped(std::string_view bytes);

}  // namespace wtk::win32test
