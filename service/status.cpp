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

void markChildEnded(ServiceStatusRecord& status, uint32_t exitCode, bool forced) {
    bool requested = status.currentState == kStateStopPending;
    status.currentState = kStateStopped;
    if (forced) {
        status.win32ExitCode = kStopForced;
    } else if (!requested && exitCode != 0) {
        status.win32ExitCode = kServiceSpecificError;
        status.serviceSpecificExitCode = exitCode;
    }
}

bool advanceStopProgress(ServiceStatusRecord& status) {
    if (status.currentState != kStateStopPending) return false;
    ++status.checkPoint;
    return true;
}

bool stopOverdue(uint32_t startTick, uint32_t now, uint32_t timeoutMs) {
    return static_cast<uint32_t>(now - startTick) >= timeoutMs;
}

uint32_t stopTimeoutMilliseconds(int configuredSeconds) {
    if (configuredSeconds <= 0) configuredSeconds = 30;
    if (configuredSeconds > 86400) configuredSeconds = 86400;
    return static_cast<uint32_t>(configuredSeconds) * 1000u;
}
