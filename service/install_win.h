// The install records of service/install.h as the Windows types that
// ChangeServiceConfig2W takes.
#pragma once

#include <windows.h>

#include <vector>

#include "service/install.h"

// actions receives the SC_ACTION array the record points into.
void toWindowsFailureActions(const ScmFailureActions& record, SERVICE_FAILURE_ACTIONSW& out,
                             std::vector<SC_ACTION>& actions);
SERVICE_FAILURE_ACTIONS_FLAG toWindowsFailureActionsFlag(const ScmFailureActionsFlag& record);
SERVICE_DELAYED_AUTO_START_INFO toWindowsDelayedAutoStart(const ScmDelayedAutoStart& record);
