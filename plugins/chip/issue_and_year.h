// The issue and year of a CHIP disc, as both of its imports read them into the disc record.
#pragma once

#include <cstdint>

#include "contract/errors.h"

namespace wtk::chip {

struct IssueAndYear {
    uint8_t issue;
    uint16_t year;
};

// The two numbers as the disc record holds them; a number outside its field fails the import
// rather than being stored cut.
inline IssueAndYear CheckedIssueAndYear(int32_t issue, int32_t year) {
    constexpr int32_t kMaxIssue = 255;
    constexpr int32_t kMaxYear = 65535;
    if (issue < 0 || issue > kMaxIssue || year < 0 || year > kMaxYear) {
        throw PluginError("issue or year out of range");
    }
    return IssueAndYear{static_cast<uint8_t>(issue), static_cast<uint16_t>(year)};
}

}  // namespace wtk::chip
