// What the service process does when its child ends without a stop
// request: stop, start the application again after a delay, or give up and
// report the failure so that the system's own recovery can take over.
#pragma once

#include <cstddef>
#include <cstdint>

enum class RestartMode {
    Never,      // the service ends with the application, as it always did
    OnFailure,  // a non-zero exit code (a crash or a kill included) starts it again
    Always,     // every end starts it again
};

struct RestartPolicy {
    RestartMode mode = RestartMode::Never;
    uint32_t delaySeconds = 10;
    uint32_t maxDelaySeconds = 300;
    uint32_t resetAfterSeconds = 600;  // 0: the count never starts over
    uint32_t limit = 5;
};

// "never", "on-failure", "always"; false for any other word.
bool parseRestartMode(const char* word, RestartMode* mode);

// The policy from the configuration (keys 171 to 175). An absent key keeps
// its default; a value the launcher cannot use keeps it too and is logged.
RestartPolicy readRestartPolicy();

enum class AfterChild {
    Stop,     // the service ends normally (the application ended with 0)
    Restart,  // start the application again after delayMs
    GiveUp,   // the service ends and reports the application's failure
};

struct RestartDecision {
    AfterChild action = AfterChild::Stop;
    uint32_t delayMs = 0;
    uint32_t restart = 0;  // the number of this restart in the current run of failures, from 1
};

// Consecutive restarts; a child that ran resetAfterSeconds starts the count
// (and so the delay) over.
struct RestartCounter {
    uint32_t restarts = 0;
};

// Decides after a child that ended on its own with exitCode, having run
// ranMs. Changes the counter when it decides on a restart.
RestartDecision decideAfterChild(const RestartPolicy& policy, RestartCounter& counter, uint32_t exitCode,
                                 uint32_t ranMs);

// The delay before restart number n (from 1): the first delay doubled for
// each restart before it, at most the maximum.
uint32_t restartDelayMs(const RestartPolicy& policy, uint32_t restart);

// The service log's line for a decision, such as "the application ended
// with exit code 3; restart 2 of 5 in 4 s". For a give-up it is also the
// text of the event log entry, so it says why: lastOutput (the last line
// the application wrote, or empty) is added to it.
bool formatRestartLine(char* buffer, size_t capacity, const RestartPolicy& policy, const RestartDecision& decision,
                       uint32_t exitCode, const char* lastOutput);

// "exit code 3", or for the large codes of a crash "exit code 0xC0000005".
bool formatExitCode(char* buffer, size_t capacity, uint32_t exitCode);
