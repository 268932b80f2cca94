#include "service/stopwait.h"

bool waitForStopWith(StopWaitProbe& probe) {
    PolledStatus status;
    if (!probe.query(status)) return false;
    uint32_t start = probe.ticks();
    uint32_t lastCheckPoint = status.checkPoint;
    while (status.state == kStateStopPending) {
        probe.sleep(kStatePollMilliseconds);
        if (!probe.query(status)) return false;
        if (status.checkPoint > lastCheckPoint) {
            // Progress: the wait hint counts again from now.
            start = probe.ticks();
            lastCheckPoint = status.checkPoint;
            continue;
        }
        // Unsigned difference, so a wrapping tick count does no harm.
        if (probe.ticks() - start > status.waitHint) break;
    }
    return status.state == kStateStopped;
}
