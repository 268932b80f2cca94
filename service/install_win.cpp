#include "service/install_win.h"

#include <cstddef>

// The portable records mirror winsvc.h field for field.
static_assert(sizeof(ScmAction) == sizeof(SC_ACTION), "SC_ACTION layout");
static_assert(offsetof(ScmAction, delayMs) == offsetof(SC_ACTION, Delay), "SC_ACTION layout");
static_assert(sizeof(ScmFailureActions) == sizeof(SERVICE_FAILURE_ACTIONSW), "SERVICE_FAILURE_ACTIONSW layout");
static_assert(offsetof(ScmFailureActions, actionCount) == offsetof(SERVICE_FAILURE_ACTIONSW, cActions),
              "SERVICE_FAILURE_ACTIONSW layout");
static_assert(offsetof(ScmFailureActions, actions) == offsetof(SERVICE_FAILURE_ACTIONSW, lpsaActions),
              "SERVICE_FAILURE_ACTIONSW layout");
static_assert(sizeof(ScmFailureActionsFlag) == sizeof(SERVICE_FAILURE_ACTIONS_FLAG), "flag layout");
static_assert(sizeof(ScmDelayedAutoStart) == sizeof(SERVICE_DELAYED_AUTO_START_INFO), "delayed start layout");
static_assert(kScActionNone == SC_ACTION_NONE && kScActionRestart == SC_ACTION_RESTART, "SC_ACTION_TYPE values");
static_assert(kServiceAutoStart == SERVICE_AUTO_START && kServiceDemandStart == SERVICE_DEMAND_START,
              "start types");
static_assert(kServiceWin32OwnProcess == SERVICE_WIN32_OWN_PROCESS &&
                  kServiceInteractiveProcess == SERVICE_INTERACTIVE_PROCESS,
              "service types");

void toWindowsFailureActions(const ScmFailureActions& record, SERVICE_FAILURE_ACTIONSW& out,
                             std::vector<SC_ACTION>& actions) {
    actions.clear();
    for (uint32_t i = 0; i < record.actionCount; ++i) {
        SC_ACTION action = {};
        action.Type = static_cast<SC_ACTION_TYPE>(record.actions[i].type);
        action.Delay = record.actions[i].delayMs;
        actions.push_back(action);
    }
    out = SERVICE_FAILURE_ACTIONSW();
    out.dwResetPeriod = record.resetPeriodSeconds;
    out.lpRebootMsg = nullptr;
    out.lpCommand = nullptr;
    out.cActions = static_cast<DWORD>(actions.size());
    out.lpsaActions = actions.empty() ? nullptr : actions.data();
}

SERVICE_FAILURE_ACTIONS_FLAG toWindowsFailureActionsFlag(const ScmFailureActionsFlag& record) {
    SERVICE_FAILURE_ACTIONS_FLAG flag = {};
    flag.fFailureActionsOnNonCrashFailures = record.onNonCrashFailures ? TRUE : FALSE;
    return flag;
}

SERVICE_DELAYED_AUTO_START_INFO toWindowsDelayedAutoStart(const ScmDelayedAutoStart& record) {
    SERVICE_DELAYED_AUTO_START_INFO info = {};
    info.fDelayedAutostart = record.delayed ? TRUE : FALSE;
    return info;
}
