#include "stream_writer.h"

#include <algorithm>
#include <cstdint>

#include "errors.h"
#include "host_calls.h"

namespace wtk {

namespace {

std::string_view Capped(std::string_view text, std::size_t limit) {
    return text.substr(0, std::min(text.size(), limit));
}

}  // namespace

StreamAccess::StreamAccess(HostStream** variable) : variable_(variable) {}

void StreamAccess::ThrowNoStream() { throw PluginError("no stream"); }

void StreamAccess::ThrowTooLarge() { throw PluginError("write too large"); }

void StreamAccess::MoveToEnd() {
    HostStream* stream = Stream();
    HostStreamSetPosition(stream, HostStreamSize(stream));
}

void WriteDiscRecord(StreamAccess& discStream, TDiscRecord& record, std::string_view discName, Reposition reposition) {
    const std::string_view name = Capped(discName, kMaxNameLength);
    record.NameLength = static_cast<uint8_t>(name.size());
    if (reposition == Reposition::Yes) {
        discStream.MoveToEnd();
    }
    discStream.Write(&record, sizeof record);
    discStream.Write(name);
}

TEntryHeader MakeEntryHeader(const TDiscRecord& record, TLicenceKind licence, std::string_view name,
                             std::string_view version, std::string_view description) {
    TEntryHeader header{};
    header.DiscId = record.DiscId;
    header.LicenceKind = licence;
    header.NameLength = static_cast<uint8_t>(std::min(name.size(), kMaxNameLength));
    header.Reserved = 0;
    header.VersionLength = static_cast<uint8_t>(std::min(version.size(), kMaxVersionLength));
    header.DescriptionLength = static_cast<uint16_t>(std::min(description.size(), kMaxDescriptionLength));
    return header;
}

void WriteEntry(StreamAccess& entryStream, const TDiscRecord& record, TLicenceKind licence, std::string_view name,
                std::string_view version, std::string_view description, Reposition reposition) {
    const TEntryHeader header = MakeEntryHeader(record, licence, name, version, description);
    if (reposition == Reposition::Yes) {
        entryStream.MoveToEnd();
    }
    entryStream.Write(&header, sizeof header);
    entryStream.Write(name.substr(0, header.NameLength));
    entryStream.Write(version.substr(0, header.VersionLength));
    entryStream.Write(description.substr(0, header.DescriptionLength));
}

}  // namespace wtk
