// Fields of a TAB-separated line.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace wtk::text {

// Field n (0-based) of the line: the text between the n-th and the (n+1)-th TAB (field 0 starts
// the line); a field behind the last TAB runs to the line's end; a field past the last TAB, or of
// a negative number, is empty. No TAB ever trails a field. The field is a view of the line, so
// cutting it cannot fail.
std::string_view GetTabField(std::string_view line, int n);

// Where the first TAB at or behind `from` stands, or npos. Most fields are a few characters long:
// their bytes are looked at one by one, and only a longer field is left to the library's search,
// whose start-up costs more than a short field's walk.
inline std::size_t FindTab(std::string_view line, std::size_t from) {
    constexpr std::size_t kShortField = 16;
    const std::size_t quick = from + kShortField < line.size() ? from + kShortField : line.size();
    for (std::size_t at = from; at < quick; ++at) {
        if (line[at] == '\t') {
            return at;
        }
    }
    return quick == line.size() ? std::string_view::npos : line.find('\t', quick);
}

// The fields 0 to Count - 1 of a line, cut in one walk along it: Field(n) is GetTabField(line, n),
// for the callers that want several fields of the same line without walking it once per field.
template <std::size_t Count>
class TabFields {
public:
    explicit TabFields(std::string_view line) {
        std::size_t start = 0;
        std::size_t n = 0;
        for (; n < Count; ++n) {
            const std::size_t tab = FindTab(line, start);
            if (tab == std::string_view::npos) {
                fields_[n] = line.substr(start);
                break;
            }
            fields_[n] = line.substr(start, tab - start);
            start = tab + 1;
        }
    }

    std::string_view Field(std::size_t n) const { return n < Count ? fields_[n] : std::string_view(); }

private:
    std::array<std::string_view, Count> fields_{};
};

}  // namespace wtk::text
