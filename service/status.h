// The service status record and how requests and the child's end change
// it. The Windows layer passes the record to SetServiceStatus.
#pragma once

#include <cstdint>

#include "service/stopwait.h"

constexpr uint32_t kControlStop = 1;
constexpr uint32_t kControlInterrogate = 4;
constexpr uint32_t kControlShutdown = 5;
constexpr uint32_t kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
constexpr uint32_t kChildStartFailure = 5000;

struct ServiceStatusRecord {
    uint32_t serviceType = 0x30;      // SERVICE_WIN32
    uint32_t currentState = kStateRunning;
    uint32_t controlsAccepted = 5;    // stop and shutdown
    uint32_t win32ExitCode = 0;
    uint32_t serviceSpecificExitCode = 0;
    uint32_t checkPoint = 0;
    uint32_t waitHint = 50000;
};

struct ControlOutcome {
    int reportNumber;   // names the report in the failure log line
    bool sendShutdown;  // whether the child is to be told to end
};

ControlOutcome applyControlRequest(ServiceStatusRecord& status, uint32_t control);

// The child runs: report running again, unless a stop is already under way
// (a stop that came in early must not be undone by this report).
void markChildStarted(ServiceStatusRecord& status);

// The child could not be started: stopped, with the service-specific code.
void markStartFailed(ServiceStatusRecord& status);

// The child has ended. True when the stopped state is to be reported: after
// a stop or shutdown request, or when the child ended with 0. A child that
// failed on its own leaves the service reported as running, so the SCM
// records an unexpected end.
bool markChildEnded(ServiceStatusRecord& status, uint32_t exitCode);
