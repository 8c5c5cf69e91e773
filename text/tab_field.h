// Fields of a TAB-separated line.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <cstddef>
#include <string_view>

namespace wtk::text {

// Field n (0-based) of the line: the text between the n-th and the (n+1)-th TAB (field 0 starts
// the line); a field behind the last TAB runs to the line's end; a field past the last TAB, or of
// a negative number, is empty. No TAB ever trails a field. The field is a view of the line, so
// cutting it cannot fail.
std::string_view GetTabField(std::string_view line, int n);

// Where the first TAB at or behind `from` stands, or npos. Most fields are a few characters long:
// their bytes are looked at eight at a time in a plain word, and only a longer field is left to
// the library's search, whose start-up costs more than a short field's walk.
inline std::size_t FindTab(std::string_view line, std::size_t from) {
    constexpr std::size_t kShortField = 32;
    const std::size_t quick = from + kShortField < line.size() ? from + kShortField : line.size();
    std::size_t at = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101u;
        constexpr uint64_t kHighBits = 0x8080808080808080u;
        constexpr uint64_t kTabs = kOnes * '\t';
        for (; at + sizeof(uint64_t) <= quick; at += sizeof(uint64_t)) {
            uint64_t word;
            std::memcpy(&word, line.data() + at, sizeof word);
            const uint64_t x = word ^ kTabs;  // a TAB byte becomes zero
            // The lowest flagged byte is the first zero byte (flags above it may be false).
            const uint64_t zeroBytes = (x - kOnes) & ~x & kHighBits;
            if (zeroBytes != 0) {
                return at + static_cast<std::size_t>(std::countr_zero(zeroBytes)) / 8;
            }
        }
    }
    for (; at < quick; ++at) {
        if (line[at] == '\t') {
            return at;
        }
    }
    return quick == line.size() ? std::string_view::npos : line.find('\t', quick);
}

// The fields 0 to Count - 1 of a line, cut as they are asked for, each walk going on from where
// the last one stopped: Field(n) is GetTabField(line, n), for the callers that want several fields
// of the same line without walking it once per field, nor further than the fields they look at.
template <std::size_t Count>
class TabFields {
public:
    explicit TabFields(std::string_view line) : line_(line) {}

    std::string_view Field(std::size_t n) {
        while (cut_ <= n && cut_ < Count && !lineEnded_) {
            CutNext();
        }
        return n < cut_ ? fields_[n] : std::string_view();
    }

private:
    void CutNext() {
        const std::size_t tab = FindTab(line_, next_);
        if (tab == std::string_view::npos) {
            fields_[cut_++] = line_.substr(next_);
            lineEnded_ = true;
            return;
        }
        fields_[cut_++] = line_.substr(next_, tab - next_);
        next_ = tab + 1;
    }

    std::string_view line_;
    std::array<std::string_view, Count> fields_{};
    std::size_t cut_ = 0;   // fields cut so far
    std::size_t next_ = 0;  // where the next field starts
    bool lineEnded_ = false;
};

}  // namespace wtk::text
