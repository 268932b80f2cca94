#include "service/status.h"

ControlOutcome applyControlRequest(ServiceStatusRecord& status, uint32_t control) {
    bool stopping = control == kControlStop || control == kControlShutdown;
    // Once stopped there is nothing left to stop; only re-report.
    if (!stopping || status.currentState == kStateStopped) return {3, false};
    if (control == kControlShutdown) {
        ++status.checkPoint;
        status.currentState = kStateStopPending;
        return {1, true};
    }
    status.currentState = kStateStopPending;
    return {2, true};
}

void markChildStarted(ServiceStatusRecord& status) {
    if (status.currentState != kStateStopPending) status.currentState = kStateRunning;
}

void markStartFailed(ServiceStatusRecord& status) {
    status.currentState = kStateStopped;
    status.win32ExitCode = kServiceSpecificError;
    status.serviceSpecificExitCode = kChildStartFailure;
}

bool markChildEnded(ServiceStatusRecord& status, uint32_t exitCode) {
    if (exitCode != 0 && status.currentState != kStateStopPending) return false;
    status.currentState = kStateStopped;
    return true;
}
