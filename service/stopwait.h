// The wait for a service that is stopping: poll every 500 ms for as long
// as the service keeps advancing its check point, and give up once a whole
// wait hint passes without progress.
#pragma once

#include <cstdint>

constexpr uint32_t kStatePollMilliseconds = 500;
constexpr uint32_t kStateStopped = 1;
constexpr uint32_t kStateStopPending = 3;
constexpr uint32_t kStateRunning = 4;

struct PolledStatus {
    uint32_t state = 0;
    uint32_t checkPoint = 0;
    uint32_t waitHint = 0;
};

// The platform side of the wait, so the rule itself can be tested without
// a Service Control Manager.
struct StopWaitProbe {
    virtual ~StopWaitProbe() = default;
    virtual bool query(PolledStatus& status) = 0;  // false when the query fails
    virtual uint32_t ticks() = 0;                  // milliseconds, wrapping
    virtual void sleep(uint32_t milliseconds) = 0;
};

// True when the service reached the stopped state.
bool waitForStopWith(StopWaitProbe& probe);
