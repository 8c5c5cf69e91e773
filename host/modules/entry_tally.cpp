#include "host/modules/entry_tally.h"

#include <algorithm>
#include <cstring>

namespace wertowik {

void EntryTally::TakeElsewhere(const char* bytes, std::size_t count) {
    while (count > 0) {
        if (textLeft_ == 0) {
            const std::size_t part = std::min(count, sizeof header_ - headerBytes_);
            std::memcpy(header_ + headerBytes_, bytes, part);
            headerBytes_ += part;
            bytes += part;
            count -= part;
            if (headerBytes_ < sizeof header_) {
                return;
            }
            wtk::TEntryHeader header;
            std::memcpy(&header, header_, sizeof header);
            headerBytes_ = 0;
            textLeft_ = std::size_t{header.NameLength} + header.VersionLength + header.DescriptionLength;
            listing_ = entries_ < listLimit_;
            if (listing_) {
                listed_.emplace_back();
                nameLeft_ = header.NameLength;
                versionLeft_ = header.VersionLength;
            }
            if (textLeft_ == 0) {
                Finish();
            }
            continue;
        }
        const std::size_t part = std::min(count, textLeft_);
        if (listing_) {
            const std::size_t name = std::min(part, nameLeft_);
            listed_.back().first.append(bytes, name);
            nameLeft_ -= name;
            const std::size_t version = std::min(part - name, versionLeft_);
            listed_.back().second.append(bytes + name, version);
            versionLeft_ -= version;
        }
        textLeft_ -= part;
        bytes += part;
        count -= part;
        if (textLeft_ == 0) {
            Finish();
        }
    }
}

void EntryTally::Finish() {
    ++entries_;
    listing_ = false;
}

}  // namespace wertowik
