// CHIP discs in memory and the chip module registering them.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "fake_host.h"
#include "memory_host_stream.h"
#include "plugin_module.h"

namespace wtk::test {

// The browser layout's marker files, in the order the module tests them, on drive D.
inline constexpr const char* kBrowserMarkers[] = {
    "D:\\startuj.exe",          "D:\\start.exe",          "D:\\index.htm",
    "D:\\chip-cd.ico",          "D:\\autorun.inf",        "D:\\Browser\\chip.skn",
    "D:\\Browser\\About.gfx",   "D:\\Browser\\chip.avi",  "D:\\Browser\\chip-cds.exe",
    "D:\\Browser\\Chip-cd.exe", "D:\\Browser\\setup.exe", "D:\\Browser\\Chip.cnt",
    "D:\\Browser\\chip.dat",    "D:\\Browser\\Chip.hlp",  "D:\\Browser\\ChipS.hlp",
    "D:\\Browser\\snd.dll",
};

// The legacy layout's marker files, in the order the module tests them, on drive D.
inline constexpr const char* kLegacyMarkers[] = {
    "D:\\autorun.exe",  "D:\\Autorun.inf",  "D:\\Chip16.exe",   "D:\\Chip16.hlp",   "D:\\chip32.exe",
    "D:\\Chip32.hlp",   "D:\\chip-cd.ico",  "D:\\Czytajto.wri", "D:\\Hierarch.dbt", "D:\\Kopiuj.hlp",
    "D:\\kopiuj16.exe", "D:\\kopiuj32.exe", "D:\\Nviewl16.dll", "D:\\NViewLib.dll", "D:\\Obiekty.dbt",
    "D:\\Tabela.dbt",   "D:\\Xcdunz32.dll", "D:\\Xcdunzip.dll",
};

inline constexpr char kIndexPath[] = "D:\\Browser\\Chip.dat";
inline constexpr char kTablePath[] = "D:\\Tabela.dbt";

// The failure text of both boxes, in Windows-1250.
inline const std::string kFailureText =
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d. Prosz\xEA skontaktowa\xE6 si\xEA z autorem.";

// A browser-layout index: a 44-byte header, then every line ended by CR LF.
std::string IndexOf(std::initializer_list<std::string_view> lines);
// A header of 44 bytes and the data exactly as given.
std::string IndexWithBody(std::string_view body);

// A last line whose trailer (the last 25 bytes of the index) reads issue 5, year 2004.
inline constexpr std::string_view kTrailerLine = "Spis programow CHIP CD\t05/2004\t";

// A table line of ten fields: number, title, description, section and licence word at 4, 5, 6, 7, 9.
std::string TableLine(std::string_view number, std::string_view title, std::string_view description,
                      std::string_view section, std::string_view licence);
// The table's header line.
inline constexpr std::string_view kTableHeader = "id\tgrupa\tpodgrupa\tplik\tnr\ttytul\topis\tdzial\tkat\tlicencja";

// The number of entries in an entry stream, walked header by header; fails the test when it ends inside one.
std::size_t CountEntries(std::string_view entries);

// What one registration left behind.
struct Registered {
    uint8_t result = 0xFF;
    std::string discs;
    std::string entries;
    std::vector<int32_t> progress;
};

// The host's record used by default: identifier 0x0107, label "PLYTA" (its room filled with 'Z'),
// host bytes DE AD BE EF.
TDiscRecord DefaultHostRecord();

// Drive D of an in-memory host, and the chip module loaded and attached to it.
struct ChipDrive {
    ChipDrive();

    void AddMarkers(const char* const* markers, std::size_t count);
    void AddBrowserDisc(const std::string& index);
    void AddLegacyDisc(const std::string& label, const std::string& table);
    void SetLabel(const std::string& label) { host.SetVolumeLabel("D:\\", label); }
    // Every call of that service with that argument fails.
    void Fail(Service service, const std::string& argument);

    // RegisterCD with fresh empty streams, or with the streams given.
    Registered Register(const TDiscRecord& record = DefaultHostRecord());
    Registered Register(MemoryHostStream& discs, MemoryHostStream& entries,
                        const TDiscRecord& record = DefaultHostRecord());

    // The arguments of the module's calls of one service, in order.
    std::vector<std::string> Calls(Service service) const { return host.CallsOf(service); }
    std::size_t OpenHandles() const { return host.openFiles() + host.openSearches(); }

    FakeHost host;
    PluginModule module{"chip", host};
};

class ChipModuleTest : public ::testing::Test {
protected:
    void AddBrowserDisc(const std::string& index) { drive_.AddBrowserDisc(index); }
    void AddLegacyDisc(const std::string& label, const std::string& table) { drive_.AddLegacyDisc(label, table); }
    Registered Register(const TDiscRecord& record = DefaultHostRecord()) { return drive_.Register(record); }
    Registered Register(MemoryHostStream& discs, MemoryHostStream& entries) { return drive_.Register(discs, entries); }

    ChipDrive drive_;
    FakeHost& host_ = drive_.host;
    PluginModule& module_ = drive_.module;
};

}  // namespace wtk::test
