// Counting the entries of an entry stream as its bytes arrive, without keeping them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "contract/records.h"

namespace wertowik {

// What a summary shows of the entries: how many there are and the first ones' names and versions
// (Windows-1250). The stream's bytes are given in pieces in order, cut anywhere.
class EntryTally {
public:
    explicit EntryTally(std::size_t listLimit = 0) : listLimit_(listLimit) {}

    // The common pieces, a whole header or an unlisted entry's texts, are taken here; the rest out
    // of line.
    void Take(const char* bytes, std::size_t count) {
        if (textLeft_ == 0 && headerBytes_ == 0 && count == sizeof header_ && entries_ >= listLimit_) {
            wtk::TEntryHeader header;
            std::memcpy(&header, bytes, sizeof header);
            textLeft_ = std::size_t{header.NameLength} + header.VersionLength + header.DescriptionLength;
            entries_ += textLeft_ == 0 ? 1 : 0;
        } else if (!listing_ && textLeft_ != 0 && count <= textLeft_) {
            textLeft_ -= count;
            entries_ += textLeft_ == 0 ? 1 : 0;
        } else {
            TakeElsewhere(bytes, count);
        }
    }

    std::size_t entries() const { return entries_; }
    const std::vector<std::pair<std::string, std::string>>& listed() const { return listed_; }

private:
    void TakeElsewhere(const char* bytes, std::size_t count);
    void Finish();

    std::size_t listLimit_;
    std::size_t entries_ = 0;
    std::vector<std::pair<std::string, std::string>> listed_;
    char header_[sizeof(wtk::TEntryHeader)] = {};
    std::size_t headerBytes_ = 0;  // of the header of the entry under way
    std::size_t textLeft_ = 0;     // its text bytes yet to come, once its header is whole
    std::size_t nameLeft_ = 0;     // of those, the name's and the version's, while it is listed
    std::size_t versionLeft_ = 0;
    bool listing_ = false;
};

}  // namespace wertowik
