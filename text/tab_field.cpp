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
    return FieldAt(line, start);
}

}  // namespace wtk::text
