#include "chip_disc.h"

#include <cstring>
#include <iterator>

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

TDiscRecord DefaultHostRecord() { return MakeRecord(0x0107, "PLYTA"); }

ChipDrive::ChipDrive() { module.InitializePlugin('D'); }

void ChipDrive::AddMarkers(const char* const* markers, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        host.AddFile(markers[i], "");
    }
}

void ChipDrive::AddBrowserDisc(const std::string& index) {
    AddMarkers(kBrowserMarkers, std::size(kBrowserMarkers));
    host.AddFile(kIndexPath, index);
}

void ChipDrive::AddLegacyDisc(const std::string& label, const std::string& table) {
    AddMarkers(kLegacyMarkers, std::size(kLegacyMarkers));
    host.AddFile(kTablePath, table);
    SetLabel(label);
}

void ChipDrive::Fail(Service service, const std::string& argument) {
    auto earlier = host.failWhen;
    host.failWhen = [=](Service s, const std::string& a) {
        return (s == service && a == argument) || (earlier && earlier(s, a));
    };
}

Registered ChipDrive::Register(const TDiscRecord& record) {
    MemoryHostStream discs;
    MemoryHostStream entries;
    return Register(discs, entries, record);
}

Registered ChipDrive::Register(MemoryHostStream& discs, MemoryHostStream& entries, const TDiscRecord& record) {
    ProgressLog progress;
    Registered out;
    out.result = module.RegisterCD(discs.variable(), entries.variable(), record, progress.proc());
    out.discs = discs.bytes();
    out.entries = entries.bytes();
    out.progress = progress.values();
    EXPECT_EQ(OpenHandles(), 0u) << "a file or search was left open";
    return out;
}

}  // namespace wtk::test
