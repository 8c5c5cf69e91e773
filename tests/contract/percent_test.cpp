// Percentages of a position: the same as position × 100 ÷ total for every position, in whatever
// order the positions come.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "contract/plugin.h"

namespace wtk {
namespace {

TEST(PercentOf, IsTheTruncatedQuotientForEveryPosition) {
    struct Case {
        const char* what;
        uint64_t total;
        std::vector<uint64_t> positions;
    };
    std::vector<uint64_t> everyLine;
    for (uint64_t m = 2; m <= 4; ++m)
        everyLine.push_back(m);
    std::vector<uint64_t> upToTheEnd;
    for (uint64_t p = 0; p <= 1234; ++p)
        upToTheEnd.push_back(p);
    const Case cases[] = {
        {"a header and three data lines (divisor 5)", 5, everyLine},
        {"every read position of a file", 1234, upToTheEnd},
        {"a total of one", 1, {0, 1, 2}},
        {"backwards and forwards", 1000, {999, 10, 10, 500, 499, 0, 1000, 5}},
        {"a large file", uint64_t{1} << 40, {0, (uint64_t{1} << 40) / 3, (uint64_t{1} << 40) - 1, uint64_t{1} << 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PercentOf percent(c.total);
        for (const uint64_t position : c.positions) {
            ASSERT_EQ(percent.At(position), static_cast<int32_t>(position * 100 / c.total)) << position;
        }
    }
}

}  // namespace
}  // namespace wtk
