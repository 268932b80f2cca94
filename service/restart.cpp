#include "service/restart.h"

#include <cstring>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"

namespace {

// The longest a delay may get: one day.
constexpr uint32_t kMaxDelaySeconds = 86400;

// A count or a number of seconds: decimal digits only, at most maxValue.
bool parseCount(const char* text, uint32_t maxValue, uint32_t* value) {
    if (!text[0]) return false;
    uint64_t result = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        result = result * 10 + static_cast<uint64_t>(*p - '0');
        if (result > maxValue) return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

void readCount(int key, uint32_t maxValue, uint32_t* value) {
    if (!hasConfigValue(key)) return;
    char text[32];
    getConfigString(key, text, sizeof text);
    if (!parseCount(text, maxValue, value))
        logError(L"config key %d holds \"%S\", not a number from 0 to %u; using %u", key, text, maxValue, *value);
}

}  // namespace

bool parseRestartMode(const char* word, RestartMode* mode) {
    if (strcmp(word, "never") == 0) *mode = RestartMode::Never;
    else if (strcmp(word, "on-failure") == 0) *mode = RestartMode::OnFailure;
    else if (strcmp(word, "always") == 0) *mode = RestartMode::Always;
    else return false;
    return true;
}

RestartPolicy readRestartPolicy() {
    RestartPolicy policy;
    if (hasConfigValue(key::ServiceRestart)) {
        char word[32];
        getConfigString(key::ServiceRestart, word, sizeof word);
        if (!parseRestartMode(word, &policy.mode))
            logError(L"config key %d holds \"%S\", not never, on-failure or always; the application is not restarted",
                     key::ServiceRestart, word);
    }
    readCount(key::ServiceRestartDelay, kMaxDelaySeconds, &policy.delaySeconds);
    readCount(key::ServiceRestartMaxDelay, kMaxDelaySeconds, &policy.maxDelaySeconds);
    readCount(key::ServiceRestartResetAfter, 0x7FFFFFFF, &policy.resetAfterSeconds);
    readCount(key::ServiceRestartLimit, 1000000, &policy.limit);
    return policy;
}

uint32_t restartDelayMs(const RestartPolicy& policy, uint32_t restart) {
    uint64_t seconds = policy.delaySeconds;
    for (uint32_t i = 1; i < restart && seconds < policy.maxDelaySeconds; ++i) seconds *= 2;
    if (seconds > policy.maxDelaySeconds) seconds = policy.maxDelaySeconds;
    return static_cast<uint32_t>(seconds * 1000);
}

RestartDecision decideAfterChild(const RestartPolicy& policy, RestartCounter& counter, uint32_t exitCode,
                                 uint32_t ranMs) {
    RestartDecision decision;
    bool wanted = policy.mode == RestartMode::Always || (policy.mode == RestartMode::OnFailure && exitCode != 0);
    if (!wanted) {
        decision.action = exitCode == 0 ? AfterChild::Stop : AfterChild::GiveUp;
        return decision;
    }
    // A run long enough counts as a success: the next failure is a first one.
    if (policy.resetAfterSeconds && ranMs / 1000 >= policy.resetAfterSeconds) counter.restarts = 0;
    if (counter.restarts >= policy.limit) {
        decision.action = AfterChild::GiveUp;
        decision.restart = counter.restarts;
        return decision;
    }
    ++counter.restarts;
    decision.action = AfterChild::Restart;
    decision.restart = counter.restarts;
    decision.delayMs = restartDelayMs(policy, counter.restarts);
    return decision;
}

bool formatExitCode(char* buffer, size_t capacity, uint32_t exitCode) {
    // Codes of a crash (NTSTATUS values such as 0xC0000005) read as hex.
    if (exitCode >= 0x10000000u) return formatText(buffer, capacity, "exit code 0x%08X", exitCode);
    return formatText(buffer, capacity, "exit code %u", exitCode);
}

bool formatRestartLine(char* buffer, size_t capacity, const RestartPolicy& policy, const RestartDecision& decision,
                       uint32_t exitCode, const char* lastOutput) {
    char code[32];
    formatExitCode(code, sizeof code, exitCode);
    bool fits = formatText(buffer, capacity, "the application ended with %s; ", code);
    switch (decision.action) {
    case AfterChild::Stop: fits = appendText(buffer, capacity, "the service stops") && fits; break;
    case AfterChild::Restart:
        fits = appendFormat(buffer, capacity, "restart %u of %u in %u s", decision.restart, policy.limit,
                            decision.delayMs / 1000) &&
               fits;
        break;
    case AfterChild::GiveUp:
        if (policy.mode != RestartMode::Never)
            fits = appendFormat(buffer, capacity, "giving up after %u restart%s; ", decision.restart,
                                decision.restart == 1 ? "" : "s") &&
                   fits;
        // The SCM hears of a failure only from a non-zero code.
        fits = appendText(buffer, capacity,
                          exitCode ? "the service stops and reports the failure" : "the service stops") &&
               fits;
        if (lastOutput && lastOutput[0])
            fits = appendFormat(buffer, capacity, " (its last output: %s)", lastOutput) && fits;
        break;
    }
    return fits;
}
