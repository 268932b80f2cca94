#include <gtest/gtest.h>

#include <vector>

#include "service/stopwait.h"

namespace {

// A service seen through a scripted list of status answers; the clock only
// moves when the wait sleeps (plus an optional cost per query).
class ScriptedProbe : public StopWaitProbe {
public:
    explicit ScriptedProbe(std::vector<PolledStatus> answers, uint32_t start = 0)
        : answers_(std::move(answers)), now_(start) {}
    bool query(PolledStatus& status) override {
        if (next_ >= answers_.size()) return false;
        status = answers_[next_++];
        return true;
    }
    uint32_t ticks() override { return now_; }
    void sleep(uint32_t milliseconds) override {
        sleeps_.push_back(milliseconds);
        now_ += milliseconds;
    }
    size_t queries() const { return next_; }
    const std::vector<uint32_t>& sleeps() const { return sleeps_; }

private:
    std::vector<PolledStatus> answers_;
    size_t next_ = 0;
    uint32_t now_;
    std::vector<uint32_t> sleeps_;
};

PolledStatus pending(uint32_t checkPoint, uint32_t waitHint) { return {kStateStopPending, checkPoint, waitHint}; }
PolledStatus stopped() { return {kStateStopped, 0, 0}; }

}  // namespace

TEST(ServiceStopWait, AlreadyStoppedNeedsNoPolling) {
    ScriptedProbe probe({stopped()});
    EXPECT_TRUE(waitForStopWith(probe));
    EXPECT_TRUE(probe.sleeps().empty());
}

TEST(ServiceStopWait, FirstQueryFailureIsFalse) {
    ScriptedProbe probe({});
    EXPECT_FALSE(waitForStopWith(probe));
}

TEST(ServiceStopWait, PollsEvery500MillisecondsUntilStopped) {
    ScriptedProbe probe({pending(1, 3000), pending(1, 3000), pending(1, 3000), stopped()});
    EXPECT_TRUE(waitForStopWith(probe));
    EXPECT_EQ(probe.sleeps(), (std::vector<uint32_t>{500, 500, 500}));
}

TEST(ServiceStopWait, AdvancingCheckPointIsWaitedForWithoutLimit) {
    // 200 polls, 100 s in all, with a wait hint of 1 s: progress at every
    // poll keeps the wait going.
    std::vector<PolledStatus> answers;
    for (uint32_t i = 0; i < 200; ++i) answers.push_back(pending(i, 1000));
    answers.push_back(stopped());
    ScriptedProbe probe(answers);
    EXPECT_TRUE(waitForStopWith(probe));
    EXPECT_EQ(probe.queries(), answers.size());
}

TEST(ServiceStopWait, GivesUpOnceAWaitHintPassesWithoutProgress) {
    // Wait hint 1200: 500 and 1000 ms are within it, 1500 ms is past it.
    std::vector<PolledStatus> answers(10, pending(4, 1200));
    ScriptedProbe probe(answers);
    EXPECT_FALSE(waitForStopWith(probe));
    EXPECT_EQ(probe.sleeps().size(), 3u);
}

TEST(ServiceStopWait, ElapsedEqualToTheWaitHintIsStillWaited) {
    std::vector<PolledStatus> answers = {pending(1, 1000), pending(1, 1000), pending(1, 1000), stopped()};
    ScriptedProbe probe(answers);
    EXPECT_TRUE(waitForStopWith(probe));
}

TEST(ServiceStopWait, ProgressRestartsTheWaitHint) {
    // Progress at 1000 ms; without it the wait would end at 1500 ms.
    std::vector<PolledStatus> answers = {pending(1, 1200), pending(1, 1200), pending(2, 1200),
                                         pending(2, 1200), pending(2, 1200), stopped()};
    ScriptedProbe probe(answers);
    EXPECT_TRUE(waitForStopWith(probe));
}

TEST(ServiceStopWait, FallingCheckPointIsNoProgress) {
    std::vector<PolledStatus> answers = {pending(5, 700), pending(4, 700), pending(3, 700), stopped()};
    ScriptedProbe probe(answers);
    EXPECT_FALSE(waitForStopWith(probe));
    EXPECT_EQ(probe.queries(), 3u);
}

TEST(ServiceStopWait, WrappingTickCountDoesNotEndTheWaitEarly) {
    std::vector<PolledStatus> answers = {pending(1, 2000), pending(1, 2000), pending(1, 2000), stopped()};
    ScriptedProbe probe(answers, 0xFFFFFE00u);  // wraps during the wait
    EXPECT_TRUE(waitForStopWith(probe));
}

TEST(ServiceStopWait, QueryFailureWhilePendingIsFalse) {
    ScriptedProbe probe({pending(1, 5000), pending(2, 5000)});
    EXPECT_FALSE(waitForStopWith(probe));
}

TEST(ServiceStopWait, OtherFinalStateIsFalse) {
    ScriptedProbe probe({pending(1, 5000), {kStateRunning, 0, 0}});
    EXPECT_FALSE(waitForStopWith(probe));
}
