// The name and version splitter catches exhausted memory itself: one box, and a normal return.
#include <gtest/gtest.h>

#include <string>

#include "failing_allocation.h"
#include "fake_host.h"
#include "in_process_host.h"
#include "text/name_version.h"

namespace wtk::text {
namespace {

using test::FailingAllocation;
using test::ShownBox;

const ShownBox kSplitFailureBox{
    "Wyst\xB9pi\xB3 b\xB3\xB9" "d przy rozdzielanie nazwy i wersji programu. "
    "Prosz\xEA skontaktowa\xE6 si\xEA z autorem.",
    std::nullopt, 0x30, false};

TEST(SplitNameVersion, ExhaustedMemoryShowsOneBoxAndReturns) {
    test::FakeHost host;
    test::InProcessHost attached(host);
    const std::string text = "Edytor tekstu z bardzo dluga nazwa 2000/XP v2.1 strona";
    int failures = 0;
    for (long k = 1;; ++k) {
        SCOPED_TRACE(k);
        std::string name = "previous name, long enough for the heap";
        std::string version = "previous version, long enough for the heap";
        bool failed = false;
        {
            FailingAllocation failing(k);
            SplitNameVersion(text, name, version);  // must not throw
            failed = failing.happened();
        }
        if (!failed) {
            EXPECT_EQ(name, "Edytor tekstu z bardzo dluga nazwa 2000/XP   2.1 strona");
            EXPECT_EQ(version, "");
            break;
        }
        ++failures;
        ASSERT_EQ(host.boxes().size(), static_cast<std::size_t>(failures));
        EXPECT_EQ(host.boxes().back(), kSplitFailureBox);
        if (k == 1) {
            // The name could not take the text: nothing was set yet.
            EXPECT_EQ(name, "previous name, long enough for the heap");
            EXPECT_EQ(version, "previous version, long enough for the heap");
        } else {
            // Once the outputs were set to the text and an empty version, a later failure leaves
            // them there or further on; a move is never half done.
            EXPECT_NE(name, "previous name, long enough for the heap");
            EXPECT_NE(version, "previous version, long enough for the heap");
            EXPECT_TRUE(name.empty() || name.back() != ' ') << name;
        }
        if (k == 2) {
            // The working copy could not be made.
            EXPECT_EQ(name, text);
            EXPECT_EQ(version, "");
        }
    }
    EXPECT_GT(failures, 1);
}

TEST(SplitNameVersion, EmptyTextIsNoMemoryFailure) {
    test::FakeHost host;
    test::InProcessHost attached(host);
    std::string name, version;
    EXPECT_ANY_THROW(SplitNameVersion("", name, version));
    EXPECT_TRUE(host.boxes().empty());
}

}  // namespace
}  // namespace wtk::text
