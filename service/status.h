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
constexpr uint32_t kStopForced = 1053;  // ERROR_SERVICE_REQUEST_TIMEOUT: the application was ended by force

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

// The child has ended; the stopped state is then always reported, so the
// process never ends behind a service the SCM still believes running.
// After a stop or shutdown request the exit codes stay 0, unless the child
// had to be ended by force (forced): then the Win32 code says so. A child
// that ended on its own with a non-zero code (a crash included) is a
// failure the SCM must hear of, so that recovery actions can run: the
// service-specific error with the child's code.
void markChildEnded(ServiceStatusRecord& status, uint32_t exitCode, bool forced);

// While a stop waits for the child: one more step of progress, so the SCM
// and /stop see the stop moving. True when there is a report to make.
bool advanceStopProgress(ServiceStatusRecord& status);

// Whether a stop requested at startTick has waited timeoutMs by now; tick
// counts wrap after 49.7 days.
bool stopOverdue(uint32_t startTick, uint32_t now, uint32_t timeoutMs);

// The stop timeout in milliseconds from the configured seconds: 30 s when
// unset or not positive, at most one day.
uint32_t stopTimeoutMilliseconds(int configuredSeconds);
