#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/install.h"

namespace {

InstallPlan plan(const InstallRequest& request) {
    InstallPlan result;
    std::string problem;
    EXPECT_TRUE(planInstall(request, &result, &problem)) << problem;
    return result;
}

std::string refused(const InstallRequest& request) {
    InstallPlan result;
    std::string problem;
    EXPECT_FALSE(planInstall(request, &result, &problem));
    return problem;
}

InstallRequest request(InstallWord word, const char* start = "", int executableType = 0) {
    InstallRequest r;
    r.word = word;
    r.start = start;
    r.executableType = executableType;
    return r;
}

}  // namespace

TEST(InstallPlan, WithoutTheNewSettingsTheRegistrationIsAsBefore) {
    InstallPlan p = plan(request(InstallWord::Install));
    EXPECT_EQ(p.serviceType, 0x110u);
    EXPECT_EQ(p.startType, kServiceDemandStart);
    EXPECT_FALSE(p.delayedAutoStart);
    EXPECT_TRUE(p.account.empty());  // LocalSystem: no account name at all
    EXPECT_FALSE(p.recovery);
    EXPECT_EQ(plan(request(InstallWord::Install, "", 4)).startType, kServiceAutoStart);
    InstallRequest quiet = request(InstallWord::InstallAuto);
    quiet.interactive = false;
    EXPECT_EQ(plan(quiet).serviceType, 0x10u);
    EXPECT_EQ(plan(quiet).startType, kServiceAutoStart);
    EXPECT_EQ(plan(request(InstallWord::InstallDemand, "", 4)).startType, kServiceDemandStart);
}

TEST(InstallPlan, StartTypeTable) {
    const struct {
        InstallWord word;
        const char* start;
        int executableType;
        uint32_t startType;
        bool delayed;
    } rows[] = {
        // The configured start type decides for "install", over key 107.
        {InstallWord::Install, "auto", 0, kServiceAutoStart, false},
        {InstallWord::Install, "delayed-auto", 0, kServiceAutoStart, true},
        {InstallWord::Install, "demand", 4, kServiceDemandStart, false},
        // install-auto is automatic, delayed when the project says so.
        {InstallWord::InstallAuto, "delayed-auto", 0, kServiceAutoStart, true},
        {InstallWord::InstallAuto, "demand", 0, kServiceAutoStart, false},
        // install-demand is always manual.
        {InstallWord::InstallDemand, "delayed-auto", 4, kServiceDemandStart, false},
    };
    for (const auto& row : rows) {
        InstallPlan p = plan(request(row.word, row.start, row.executableType));
        EXPECT_EQ(p.startType, row.startType) << row.start;
        EXPECT_EQ(p.delayedAutoStart, row.delayed) << row.start;
        EXPECT_EQ(delayedAutoStartRecord(p).delayed, row.delayed ? 1 : 0) << row.start;
    }
    EXPECT_EQ(refused(request(InstallWord::Install, "Auto")), "service.start \"Auto\" is not auto, delayed-auto or demand");
}

TEST(InstallPlan, AccountsAndTheInteractiveFlag) {
    for (const char* system : {"LocalSystem", "localsystem", ".\\LocalSystem"}) {
        InstallRequest r = request(InstallWord::Install);
        r.account = system;
        InstallPlan p = plan(r);
        EXPECT_TRUE(p.account.empty()) << system;
        EXPECT_EQ(p.serviceType, 0x110u) << system;
    }
    for (const char* account : {"NT AUTHORITY\\LocalService", "NT AUTHORITY\\NetworkService", "nt authority\\localservice",
                                "NT SERVICE\\MyApp"}) {
        InstallRequest r = request(InstallWord::Install);
        r.account = account;
        InstallPlan p = plan(r);
        EXPECT_EQ(p.account, account);
        EXPECT_FALSE(p.userAccount);
        // Only LocalSystem may interact with the desktop.
        EXPECT_EQ(p.serviceType, 0x10u) << account;
    }
    for (const char* bad : {"NT SERVICE\\", "Administrator", "NT AUTHORITY\\SYSTEMX"}) {
        InstallRequest r = request(InstallWord::Install);
        r.account = bad;
        EXPECT_NE(refused(r).find("--user NAME --password-file FILE"), std::string::npos) << bad;
    }
    // --user wins over the project's account.
    InstallRequest user = request(InstallWord::Install);
    user.account = "NT AUTHORITY\\LocalService";
    user.user = ".\\svcuser";
    InstallPlan p = plan(user);
    EXPECT_EQ(p.account, ".\\svcuser");
    EXPECT_TRUE(p.userAccount);
    EXPECT_EQ(p.serviceType, 0x10u);
}

TEST(InstallPlan, RecoveryActionsBecomeTheFailureActionsRecord) {
    InstallRequest r = request(InstallWord::Install);
    r.onFailure = "restart 60;restart 300; none ";
    r.hasFailureResetAfter = true;
    r.failureResetAfter = "3600";
    InstallPlan p = plan(r);
    ASSERT_TRUE(p.recovery);
    ScmFailureActions record = failureActionsRecord(p);
    EXPECT_EQ(record.resetPeriodSeconds, 3600u);
    EXPECT_EQ(record.rebootMessage, nullptr);
    EXPECT_EQ(record.command, nullptr);
    ASSERT_EQ(record.actionCount, 3u);
    EXPECT_EQ(record.actions[0].type, kScActionRestart);
    EXPECT_EQ(record.actions[0].delayMs, 60000u);
    EXPECT_EQ(record.actions[1].type, kScActionRestart);
    EXPECT_EQ(record.actions[1].delayMs, 300000u);
    EXPECT_EQ(record.actions[2].type, kScActionNone);
    EXPECT_EQ(record.actions[2].delayMs, 0u);
    // The flag that makes a stop with an error code count as a failure.
    EXPECT_EQ(failureActionsFlagRecord().onNonCrashFailures, 1);

    // Without failure_reset_after a day; without on_failure nothing at all.
    r.hasFailureResetAfter = false;
    InstallPlan day = plan(r);
    EXPECT_EQ(failureActionsRecord(day).resetPeriodSeconds, 86400u);
    InstallRequest none = request(InstallWord::Install);
    none.hasFailureResetAfter = true;
    none.failureResetAfter = "5";
    InstallPlan q = plan(none);
    EXPECT_FALSE(q.recovery);
    EXPECT_EQ(failureActionsRecord(q).actionCount, 0u);
    EXPECT_EQ(failureActionsRecord(q).actions, nullptr);
}

TEST(InstallPlan, RecoveryActionsThatCannotBeRegisteredAreRefused) {
    std::vector<ScmAction> actions;
    std::string problem;
    EXPECT_TRUE(parseRecoveryActions(";;", &actions, &problem));
    EXPECT_TRUE(actions.empty());
    EXPECT_TRUE(parseRecoveryActions("RESTART 0", &actions, &problem));
    EXPECT_EQ(actions.size(), 1u);
    for (const char* bad : {"reboot 60", "restart", "restart -1", "restart 86401", "restart 6x", "none 5"}) {
        EXPECT_FALSE(parseRecoveryActions(bad, &actions, &problem)) << bad;
        EXPECT_NE(problem.find("is not \"restart N\""), std::string::npos) << problem;
    }
    std::string many;
    for (int i = 0; i < 21; ++i) many += "none;";
    EXPECT_FALSE(parseRecoveryActions(many, &actions, &problem));
    EXPECT_EQ(problem, "service.on_failure: more than 20 actions");
    InstallRequest r = request(InstallWord::Install);
    r.onFailure = "restart 1";
    r.hasFailureResetAfter = true;
    r.failureResetAfter = "soon";
    EXPECT_EQ(refused(r), "service.failure_reset_after \"soon\" is not a number of seconds");
}

TEST(InstallPassword, FirstLineWithoutLineEndOrByteOrderMark) {
    auto span = [](const std::string& text) { return findPassword(text.data(), text.size()); };
    PasswordSpan p = span("s3cret\r\nsecond line\r\n");
    EXPECT_TRUE(p.ok);
    EXPECT_FALSE(p.utf8);
    EXPECT_EQ(p.offset, 0u);
    EXPECT_EQ(p.length, 6u);
    p = span("\xEF\xBB\xBFp\xC3\xA4ss\n");
    EXPECT_TRUE(p.ok);
    EXPECT_TRUE(p.utf8);
    EXPECT_EQ(p.offset, 3u);
    EXPECT_EQ(p.length, 5u);
    EXPECT_TRUE(span("no line end").ok);
    EXPECT_FALSE(span("").ok);
    EXPECT_FALSE(span("\r\npassword on line two").ok);
    EXPECT_FALSE(span(std::string("a\0b", 3)).ok);
    EXPECT_TRUE(span(std::string(kMaxPasswordLength, 'x')).ok);
    EXPECT_FALSE(span(std::string(kMaxPasswordLength + 1, 'x')).ok);
}
