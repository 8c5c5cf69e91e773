#include "text_rules.h"

#include <charconv>
#include <cstdint>

#include "contract/errors.h"

namespace wtk::text {

std::string LowerAscii(std::string_view s) {
    std::string lowered(s);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lowered;
}

std::size_t Pos(std::string_view needle, std::string_view s) {
    const std::size_t at = s.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

int32_t detail::ParseIntegerInGeneral(std::string_view s) {
    std::string_view digits = s;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            throw PluginError("not an integer");
        }
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        throw PluginError("not an integer");
    }
    return value;
}

}  // namespace wtk::text
