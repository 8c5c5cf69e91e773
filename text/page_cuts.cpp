#include "page_cuts.h"

#include <algorithm>

#include "text_rules.h"

namespace wtk::text {

std::string_view Copy(std::string_view s, int64_t index, int64_t count) {
    const int64_t first = std::max<int64_t>(index, 1) - 1;
    if (count <= 0 || first >= Length(s)) {
        return {};
    }
    return s.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(std::min(count, Length(s) - first)));
}

std::string_view TextBeforeNextTag(std::string_view s) { return s.substr(0, s.find('<')); }

void DeleteFront(std::string_view& s, std::size_t count) { s.remove_prefix(std::min(count, s.size())); }

void CutAfter(std::string_view& s, std::string_view marker) {
    const std::size_t at = Pos(marker, s);
    if (at != 0) {
        DeleteFront(s, at - 1 + marker.size());
    }
}

}  // namespace wtk::text
