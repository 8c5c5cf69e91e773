#include "chip_disc.h"

#include <cstring>

namespace wtk::test {

namespace {
constexpr std::size_t kIndexHeaderSize = 44;
}  // namespace

std::string IndexWithBody(std::string_view body) {
    std::string index = "CHIP-CD browser index, header of 44 bytes.";
    index.resize(kIndexHeaderSize, ' ');
    index.append(body);
    return index;
}

std::string IndexOf(std::initializer_list<std::string_view> lines) {
    std::string body;
    for (std::string_view line : lines) {
        body.append(line);
        body.append("\r\n");
    }
    return IndexWithBody(body);
}

std::string TableLine(std::string_view number, std::string_view title, std::string_view description,
                      std::string_view section, std::string_view licence) {
    std::string line = "1\tprogramy\tnarzedzia\tplik.zip\t";
    line.append(number).append("\t").append(title).append("\t").append(description).append("\t");
    line.append(section).append("\tkat\t").append(licence);
    return line;
}

std::size_t CountEntries(std::string_view entries) {
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < entries.size()) {
        TEntryHeader header{};
        if (entries.size() - at < sizeof header) {
            ADD_FAILURE() << "the entry stream ends inside a header at byte " << at;
            return count;
        }
        std::memcpy(&header, entries.data() + at, sizeof header);
        at += sizeof header + header.NameLength + header.VersionLength + header.DescriptionLength;
        if (at > entries.size()) {
            ADD_FAILURE() << "the entry stream ends inside entry " << count;
            return count;
        }
        ++count;
    }
    return count;
}

TDiscRecord DefaultHostRecord() { return HostRecord(0x0107, "PLYTA", 0xEFBEADDE); }

ChipModuleTest::ChipModuleTest() : module_(PluginModule::PathOf("chip")) {
    module_.Attach(host_);
    module_.InitializePlugin('D');
}

void ChipModuleTest::AddBrowserDisc(const std::string& index) {
    for (const char* marker : kBrowserMarkers) {
        host_.AddFile(marker, "");
    }
    host_.AddFile(kIndexPath, index);
}

void ChipModuleTest::AddLegacyDisc(std::string_view label, const std::string& table) {
    for (const char* marker : kLegacyMarkers) {
        host_.AddFile(marker, "");
    }
    host_.AddFile(kTablePath, table);
    host_.SetLabel(std::string(label));
}

Registered ChipModuleTest::Register(const TDiscRecord& record) {
    MemoryHostStream discs;
    MemoryHostStream entries;
    return Register(discs, entries, record);
}

Registered ChipModuleTest::Register(MemoryHostStream& discs, MemoryHostStream& entries, const TDiscRecord& record) {
    ProgressRecorder progress;
    Registered out;
    out.result = module_.RegisterCD(discs.variable(), entries.variable(), record, progress.proc());
    out.discs = discs.bytes();
    out.entries = entries.bytes();
    out.progress = progress.values();
    return out;
}

}  // namespace wtk::test
