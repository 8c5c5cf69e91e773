#include "tab_field.h"

namespace wtk::text {

std::string_view GetTabField(std::string_view line, int n) {
    if (n < 0) {
        return {};
    }
    std::size_t start = 0;
    for (int tabs = 0; tabs < n; ++tabs) {
        const std::size_t tab = FindTab(line, start);
        if (tab == std::string_view::npos) {
            return {};
        }
        start = tab + 1;
    }
    const std::size_t end = FindTab(line, start);
    return end == std::string_view::npos ? line.substr(start) : line.substr(start, end - start);
}

}  // namespace wtk::text
