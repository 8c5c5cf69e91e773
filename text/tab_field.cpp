#include "tab_field.h"

#include <new>

#include "platform/platform.h"

namespace wtk::text {

namespace {

constexpr char kTab = '\t';
constexpr char kFieldFailureMessage[] = "Wystąpił błąd. Proszę skontaktować się z autorem.";

std::string_view FieldOf(std::string_view line, int n) {
    if (n < 0) {
        return {};
    }
    std::size_t start = 0;
    for (int tabs = 0; tabs < n; ++tabs) {
        const std::size_t tab = line.find(kTab, start);
        if (tab == std::string_view::npos) {
            return {};
        }
        start = tab + 1;
    }
    // The field ends before the next TAB, so no TAB ever trails it.
    const std::size_t end = line.find(kTab, start);
    return end == std::string_view::npos ? line.substr(start) : line.substr(start, end - start);
}

}  // namespace

std::string GetTabField(std::string_view line, int n) {
    try {
        return std::string(FieldOf(line, n));
    } catch (const std::bad_alloc&) {
        // The caller goes on as if the field were empty.
        platform::Current().MessageBox(kFieldFailureMessage, nullptr, platform::mbIconExclamation,
                                       platform::BoxOwner::None);
        return std::string();
    }
}

}  // namespace wtk::text
