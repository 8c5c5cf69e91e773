#include "host/catalogue/names.h"

#include <algorithm>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

uint16_t ParseDiscId(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) < 1 || std::stoi(text) > 65535) {
        throw HostError(kExitUsage, Say("a disc identifier is a number from 1 to 65535, not \"{1}\"", text));
    }
    return static_cast<uint16_t>(std::stoi(text));
}

const std::vector<std::string>& LicenceNames() {
    static const std::vector<std::string> names{"unspecified", "shareware", "freeware", "demo",
                                                "full",        "trial",     "gpl",      "adware"};
    return names;
}

std::string LicenceName(int code) {
    const auto& names = LicenceNames();
    return code >= 0 && code < static_cast<int>(names.size()) ? names[code] : "code " + std::to_string(code);
}

std::optional<uint8_t> ParseLicence(std::string_view text) {
    const auto& names = LicenceNames();
    for (std::size_t code = 0; code < names.size(); ++code) {
        if (text.size() == names[code].size() &&
            std::equal(text.begin(), text.end(), names[code].begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; })) {
            return static_cast<uint8_t>(code);
        }
    }
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '7') {
        return static_cast<uint8_t>(text[0] - '0');
    }
    return std::nullopt;
}

}  // namespace wertowik
