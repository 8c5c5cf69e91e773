// Exhausted memory: the name and version splitter catches it itself (one box, and a normal return),
// and the platform lets go of every search and file the host opened for it.
#include <gtest/gtest.h>

#include <string>

#include "failing_allocation.h"
#include "fake_host.h"
#include "in_process_host.h"
#include "platform/platform.h"
#include "text/name_version.h"

namespace wtk::text {
namespace {

using test::FailingAllocation;
using test::ShownBox;

const ShownBox kSplitFailureBox{
    "Wyst\xB9pi\xB3 b\xB3\xB9"
    "d przy rozdzielanie nazwy i wersji programu. "
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
        // Short enough to be kept inside the string object: taking the longer version allocates.
        std::string version = "previous";
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
            EXPECT_EQ(version, "previous");
        } else {
            // Once the outputs were set to the text and an empty version, a later failure leaves
            // them there or further on; a move is never half done.
            EXPECT_NE(name, "previous name, long enough for the heap");
            EXPECT_NE(version, "previous");
            EXPECT_TRUE(name.empty() || name.back() != ' ') << name;
        }
        if (k == 2) {
            // The version could not be taken.
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

TEST(Platform, ExhaustedMemoryLeavesNoSearchOrFileOpen) {
    test::FakeHost host;
    test::InProcessHost attached(host);
    // Names too long to be kept inside a string object: taking them over allocates.
    host.AddFile("D:\\a rather long file name.txt", "bytes of the first file");
    host.AddFile("D:\\another long file name.txt", "bytes of the second file");
    int failures = 0;
    for (long k = 1;; ++k) {
        SCOPED_TRACE(k);
        bool failed = false;
        {
            FailingAllocation failing(k);
            try {
                platform::Platform& system = platform::Current();
                const auto search = system.FindFiles("D:\\*.txt", 0);
                while (search->Next()) {
                }
                const auto file = system.ReadWholeFile("D:\\a rather long file name.txt");
                EXPECT_EQ(file->View(), "bytes of the first file");
            } catch (const std::bad_alloc&) {
            }
            failed = failing.happened();
        }
        EXPECT_EQ(host.openSearches(), 0u);
        EXPECT_EQ(host.openFiles(), 0u);
        if (!failed) {
            break;
        }
        ++failures;
    }
    EXPECT_GT(failures, 2);
}

}  // namespace
}  // namespace wtk::text
