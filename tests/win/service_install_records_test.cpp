// The records the install hands to ChangeServiceConfig2W, as the Windows
// types carry them: the portable plan's actions reach SC_ACTION unchanged.
#include <gtest/gtest.h>

#include <vector>

#include "service/install_win.h"

TEST(ServiceInstallRecords, FailureActionsAsTheSystemReadsThem) {
    InstallRequest request;
    request.onFailure = "restart 60;restart 300;none";
    request.hasFailureResetAfter = true;
    request.failureResetAfter = "7200";
    InstallPlan plan;
    std::string problem;
    ASSERT_TRUE(planInstall(request, &plan, &problem)) << problem;

    SERVICE_FAILURE_ACTIONSW actions;
    std::vector<SC_ACTION> storage;
    toWindowsFailureActions(failureActionsRecord(plan), actions, storage);
    EXPECT_EQ(actions.dwResetPeriod, 7200u);
    EXPECT_EQ(actions.lpRebootMsg, nullptr);
    EXPECT_EQ(actions.lpCommand, nullptr);
    ASSERT_EQ(actions.cActions, 3u);
    ASSERT_EQ(actions.lpsaActions, storage.data());
    EXPECT_EQ(actions.lpsaActions[0].Type, SC_ACTION_RESTART);
    EXPECT_EQ(actions.lpsaActions[0].Delay, 60000u);
    EXPECT_EQ(actions.lpsaActions[1].Type, SC_ACTION_RESTART);
    EXPECT_EQ(actions.lpsaActions[1].Delay, 300000u);
    EXPECT_EQ(actions.lpsaActions[2].Type, SC_ACTION_NONE);

    SERVICE_FAILURE_ACTIONS_FLAG flag = toWindowsFailureActionsFlag(failureActionsFlagRecord());
    EXPECT_EQ(flag.fFailureActionsOnNonCrashFailures, TRUE);
}

TEST(ServiceInstallRecords, DelayedAutomaticStartOnlyWhenAsked) {
    InstallRequest request;
    request.start = "delayed-auto";
    InstallPlan plan;
    std::string problem;
    ASSERT_TRUE(planInstall(request, &plan, &problem)) << problem;
    EXPECT_EQ(plan.startType, static_cast<uint32_t>(SERVICE_AUTO_START));
    EXPECT_EQ(toWindowsDelayedAutoStart(delayedAutoStartRecord(plan)).fDelayedAutostart, TRUE);
    request.start = "auto";
    ASSERT_TRUE(planInstall(request, &plan, &problem)) << problem;
    EXPECT_EQ(toWindowsDelayedAutoStart(delayedAutoStartRecord(plan)).fDelayedAutostart, FALSE);
}

TEST(ServiceInstallRecords, NoActionsGiveAnEmptyRecord) {
    InstallPlan plan;
    SERVICE_FAILURE_ACTIONSW actions;
    std::vector<SC_ACTION> storage;
    toWindowsFailureActions(failureActionsRecord(plan), actions, storage);
    EXPECT_EQ(actions.cActions, 0u);
    EXPECT_EQ(actions.lpsaActions, nullptr);
}
