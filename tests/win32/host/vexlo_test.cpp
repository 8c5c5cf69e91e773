// The stub library under Wine: it answers the contract and never looks at a disc.
#include "stand_ins.h"
#include "test_support.h"
#include "runtime_stream.h"

namespace wtk::win32test {

namespace {



class VexloTest : public testing::Test {
protected:
    void SetUp() override { ResetLog(); }
};

TEST_F(VexloTest, AnswersNotMineWithoutTouchingAnyDrive) {
    WTK_LOAD_OR_SKIP(library, "vexlo");
    for (int call = 0; call < 3; ++call) {
        const CallOutcome answer = library->CanYouRegister();
        EXPECT_TRUE(answer.balanced()) << "stack delta " << answer.stackDelta;
        EXPECT_EQ(answer.al(), raNotMine);
    }
    EXPECT_TRUE(Log().discAccess.empty());
    EXPECT_TRUE(Log().boxes.empty());
}

TEST_F(VexloTest, CancelChangesNoAnswerAndNoStream) {
    WTK_LOAD_OR_SKIP(library, "vexlo");
    RuntimeStream disc;
    RuntimeStream entries;
    disc.Preload("abc");
    TDiscRecord record{};
    record.DiscId = 1;

    for (const bool cancelFirst : {false, true}) {
        SCOPED_TRACE(cancelFirst ? "after Cancel" : "before Cancel");
        ResetLog();
        if (cancelFirst) {
            const CallOutcome cancel = library->Cancel();
            EXPECT_TRUE(cancel.balanced()) << "stack delta " << cancel.stackDelta;
        }
        EXPECT_EQ(library->CanYouRegister().al(), raNotMine);
        const CallOutcome outcome = library->RegisterCD(disc.variable(), entries.variable(), record, &ProgressCallback);
        EXPECT_TRUE(outcome.balanced()) << "stack delta " << outcome.stackDelta;
        EXPECT_EQ(outcome.al(), rrNoEntries);
        EXPECT_EQ(disc.bytes(), "abc");
        EXPECT_EQ(disc.position(), 3);
        EXPECT_EQ(entries.bytes(), "");
        EXPECT_EQ(entries.position(), 0);
        EXPECT_EQ(Log().progress, std::vector<int32_t>{0});
        EXPECT_TRUE(Log().boxes.empty());
        EXPECT_TRUE(Log().discAccess.empty());
    }
}

}  // namespace

}  // namespace wtk::win32test
