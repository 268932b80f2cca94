#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/keys.h"
#include "config/store.h"
#include "service/restart.h"
#include "tests/support/log_capture.h"

namespace {

RestartPolicy policy(RestartMode mode, uint32_t delay, uint32_t maxDelay, uint32_t resetAfter, uint32_t limit) {
    RestartPolicy p;
    p.mode = mode;
    p.delaySeconds = delay;
    p.maxDelaySeconds = maxDelay;
    p.resetAfterSeconds = resetAfter;
    p.limit = limit;
    return p;
}

// The decisions for a run of children that each end with exitCode after ranMs.
std::vector<RestartDecision> run(const RestartPolicy& p, RestartCounter& counter, uint32_t exitCode, uint32_t ranMs,
                                 int children) {
    std::vector<RestartDecision> out;
    for (int i = 0; i < children; ++i) out.push_back(decideAfterChild(p, counter, exitCode, ranMs));
    return out;
}

std::string line(const RestartPolicy& p, const RestartDecision& d, uint32_t code, const char* last = "") {
    char text[600];
    EXPECT_TRUE(formatRestartLine(text, sizeof text, p, d, code, last));
    return text;
}

}  // namespace

TEST(RestartPolicy, NeverStopsOnZeroAndGivesUpOnAFailure) {
    RestartPolicy p;  // the defaults: what the service always did
    RestartCounter counter;
    EXPECT_EQ(decideAfterChild(p, counter, 0, 5).action, AfterChild::Stop);
    RestartDecision failed = decideAfterChild(p, counter, 3, 5);
    EXPECT_EQ(failed.action, AfterChild::GiveUp);
    EXPECT_EQ(counter.restarts, 0u);
    EXPECT_EQ(line(p, failed, 3), "the application ended with exit code 3; the service stops and reports the failure");
}

TEST(RestartPolicy, OnFailureDoublesTheDelayAndGivesUpAfterTheLimit) {
    RestartPolicy p = policy(RestartMode::OnFailure, 1, 300, 600, 5);
    RestartCounter counter;
    std::vector<RestartDecision> decisions = run(p, counter, 3, 2000, 6);
    std::vector<uint32_t> delays, numbers;
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(decisions[i].action, AfterChild::Restart) << i;
        delays.push_back(decisions[i].delayMs);
        numbers.push_back(decisions[i].restart);
    }
    EXPECT_EQ(delays, (std::vector<uint32_t>{1000, 2000, 4000, 8000, 16000}));
    EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(decisions[5].action, AfterChild::GiveUp);
    EXPECT_EQ(decisions[5].restart, 5u);
    EXPECT_EQ(line(p, decisions[1], 3), "the application ended with exit code 3; restart 2 of 5 in 2 s");
    EXPECT_EQ(line(p, decisions[5], 3, "Error occurred during initialization of VM"),
              "the application ended with exit code 3; giving up after 5 restarts; the service stops and reports the "
              "failure (its last output: Error occurred during initialization of VM)");
    // A clean end stops the service without a restart, whatever came before.
    RestartCounter fresh;
    EXPECT_EQ(decideAfterChild(p, fresh, 0, 10).action, AfterChild::Stop);
    EXPECT_EQ(fresh.restarts, 0u);
}

TEST(RestartPolicy, AlwaysRestartsAfterAZeroExitCodeToo) {
    RestartPolicy p = policy(RestartMode::Always, 2, 300, 600, 2);
    RestartCounter counter;
    std::vector<RestartDecision> decisions = run(p, counter, 0, 100, 3);
    EXPECT_EQ(decisions[0].action, AfterChild::Restart);
    EXPECT_EQ(decisions[0].delayMs, 2000u);
    EXPECT_EQ(decisions[1].delayMs, 4000u);
    EXPECT_EQ(decisions[2].action, AfterChild::GiveUp);
    EXPECT_EQ(line(p, decisions[2], 0), "the application ended with exit code 0; giving up after 2 restarts; the "
                                        "service stops");
}

TEST(RestartPolicy, DelayStopsAtTheMaximumWithoutOverflow) {
    RestartPolicy p = policy(RestartMode::OnFailure, 10, 25, 600, 1000);
    EXPECT_EQ(restartDelayMs(p, 1), 10000u);
    EXPECT_EQ(restartDelayMs(p, 2), 20000u);
    EXPECT_EQ(restartDelayMs(p, 3), 25000u);
    EXPECT_EQ(restartDelayMs(p, 999), 25000u);
    // A maximum below the first delay caps that one too.
    EXPECT_EQ(restartDelayMs(policy(RestartMode::OnFailure, 60, 5, 0, 1), 1), 5000u);
    // The largest values the configuration allows stay within range.
    RestartPolicy big = policy(RestartMode::OnFailure, 86400, 86400, 0, 1000000);
    EXPECT_EQ(restartDelayMs(big, 1000000), 86400000u);
    EXPECT_EQ(restartDelayMs(policy(RestartMode::OnFailure, 0, 300, 0, 5), 4), 0u);
}

TEST(RestartPolicy, ALongRunStartsTheCountAndTheDelayOver) {
    RestartPolicy p = policy(RestartMode::OnFailure, 1, 300, 60, 3);
    RestartCounter counter;
    run(p, counter, 1, 1000, 3);  // three quick failures: the limit is used up
    EXPECT_EQ(counter.restarts, 3u);
    RestartDecision afterLongRun = decideAfterChild(p, counter, 1, 60000);
    EXPECT_EQ(afterLongRun.action, AfterChild::Restart);
    EXPECT_EQ(afterLongRun.restart, 1u);
    EXPECT_EQ(afterLongRun.delayMs, 1000u);
    // Just short of the window does not count.
    RestartCounter other;
    run(p, other, 1, 1000, 3);
    EXPECT_EQ(decideAfterChild(p, other, 1, 59999).action, AfterChild::GiveUp);
    // A reset time of 0: the count never starts over.
    RestartPolicy never = policy(RestartMode::OnFailure, 1, 300, 0, 1);
    RestartCounter once;
    decideAfterChild(never, once, 1, 1);
    EXPECT_EQ(decideAfterChild(never, once, 1, 0xFFFFFFFFu).action, AfterChild::GiveUp);
}

TEST(RestartPolicy, LimitZeroGivesUpAtTheFirstFailure) {
    RestartPolicy p = policy(RestartMode::OnFailure, 1, 300, 600, 0);
    RestartCounter counter;
    RestartDecision d = decideAfterChild(p, counter, 2, 10);
    EXPECT_EQ(d.action, AfterChild::GiveUp);
    EXPECT_EQ(line(p, d, 2),
              "the application ended with exit code 2; giving up after 0 restarts; the service stops and reports the "
              "failure");
}

TEST(RestartPolicy, CrashCodesReadAsHex) {
    char text[32];
    formatExitCode(text, sizeof text, 0xC0000005u);
    EXPECT_STREQ(text, "exit code 0xC0000005");
    formatExitCode(text, sizeof text, 1);
    EXPECT_STREQ(text, "exit code 1");
    // A restart line keeps the words; a cut line is reported.
    RestartPolicy p = policy(RestartMode::OnFailure, 1, 300, 600, 5);
    RestartCounter counter;
    RestartDecision d = decideAfterChild(p, counter, 0xC0000409u, 1);
    EXPECT_EQ(line(p, d, 0xC0000409u), "the application ended with exit code 0xC0000409; restart 1 of 5 in 1 s");
    char small[20];
    EXPECT_FALSE(formatRestartLine(small, sizeof small, p, d, 1, ""));
    EXPECT_EQ(std::string(small).size(), sizeof small - 1);
}

class RestartConfiguration : public ::testing::Test {
protected:
    void SetUp() override {
        clearStores();
        clearCapturedLog();
    }
};

TEST_F(RestartConfiguration, AbsentKeysKeepTheDefaults) {
    RestartPolicy p = readRestartPolicy();
    EXPECT_EQ(p.mode, RestartMode::Never);
    EXPECT_EQ(p.delaySeconds, 10u);
    EXPECT_EQ(p.maxDelaySeconds, 300u);
    EXPECT_EQ(p.resetAfterSeconds, 600u);
    EXPECT_EQ(p.limit, 5u);
    EXPECT_TRUE(capturedLog().empty());
}

TEST_F(RestartConfiguration, KeysAreReadAndBadValuesKeepTheDefaultWithALine) {
    storeConfigValue(key::ServiceRestart, "on-failure");
    storeConfigValue(key::ServiceRestartDelay, "1");
    storeConfigValue(key::ServiceRestartMaxDelay, "8");
    storeConfigValue(key::ServiceRestartResetAfter, "0");
    storeConfigValue(key::ServiceRestartLimit, "3");
    RestartPolicy p = readRestartPolicy();
    EXPECT_EQ(p.mode, RestartMode::OnFailure);
    EXPECT_EQ(p.delaySeconds, 1u);
    EXPECT_EQ(p.maxDelaySeconds, 8u);
    EXPECT_EQ(p.resetAfterSeconds, 0u);
    EXPECT_EQ(p.limit, 3u);

    storeConfigValue(key::ServiceRestart, "sometimes");
    storeConfigValue(key::ServiceRestartDelay, "-1");
    storeConfigValue(key::ServiceRestartLimit, "99999999999");
    p = readRestartPolicy();
    EXPECT_EQ(p.mode, RestartMode::Never);
    EXPECT_EQ(p.delaySeconds, 10u);
    EXPECT_EQ(p.limit, 5u);
    EXPECT_TRUE(logContains(
        L"ERROR: config key 171 holds \"sometimes\", not never, on-failure or always; the application is not restarted"));
    EXPECT_TRUE(logContains(L"ERROR: config key 172 holds \"-1\", not a number from 0 to 86400; using 10"));
    EXPECT_TRUE(logContains(L"ERROR: config key 175 holds \"99999999999\", not a number from 0 to 1000000; using 5"));
}
