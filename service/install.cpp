#include "service/install.h"

#include <cstring>

namespace {

constexpr size_t kMaxRecoveryActions = 20;

bool sameWordIgnoringCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    size_t n = strlen(prefix);
    return text.size() >= n && sameWordIgnoringCase(text.substr(0, n), prefix);
}

// Decimal digits only, at most maxValue.
bool parseSeconds(const std::string& text, uint32_t maxValue, uint32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > maxValue) return false;
    *value = static_cast<uint32_t>(result);
    return true;
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool recoveryAction(const std::string& item, ScmAction* action, std::string* problem) {
    std::string text = trimmed(item);
    if (sameWordIgnoringCase(text, "none")) {
        *action = {kScActionNone, 0};
        return true;
    }
    uint32_t seconds = 0;
    if (startsWithIgnoringCase(text, "restart ") &&
        parseSeconds(trimmed(text.substr(8)), kMaxRecoveryDelaySeconds, &seconds)) {
        *action = {kScActionRestart, seconds * 1000};
        return true;
    }
    *problem = "service.on_failure: \"" + text + "\" is not \"restart N\" (N seconds, 0 to 86400) or \"none\"";
    return false;
}

bool planAccount(const InstallRequest& request, InstallPlan* plan, std::string* problem) {
    if (!request.user.empty()) {
        plan->account = request.user;
        plan->userAccount = true;
        return true;
    }
    const std::string& account = request.account;
    if (account.empty() || isLocalSystem(account)) return true;
    if (serviceAccountAccepted(account)) {
        plan->account = account;
        return true;
    }
    *problem = "service.account \"" + account +
               "\" is not LocalSystem, NT AUTHORITY\\LocalService, NT AUTHORITY\\NetworkService or NT SERVICE\\<name>"
               " (a user account is given at install: --user NAME --password-file FILE)";
    return false;
}

bool planStart(const InstallRequest& request, InstallPlan* plan, std::string* problem) {
    const std::string& start = request.start;
    if (!start.empty() && start != "auto" && start != "delayed-auto" && start != "demand") {
        *problem = "service.start \"" + start + "\" is not auto, delayed-auto or demand";
        return false;
    }
    switch (request.word) {
    case InstallWord::InstallAuto:
        plan->startType = kServiceAutoStart;
        plan->delayedAutoStart = start == "delayed-auto";
        break;
    case InstallWord::InstallDemand: plan->startType = kServiceDemandStart; break;
    case InstallWord::Install:
        if (start.empty())
            plan->startType = request.executableType == 4 ? kServiceAutoStart : kServiceDemandStart;
        else
            plan->startType = start == "demand" ? kServiceDemandStart : kServiceAutoStart;
        plan->delayedAutoStart = start == "delayed-auto";
        break;
    }
    return true;
}

}  // namespace

bool isLocalSystem(const std::string& account) {
    return sameWordIgnoringCase(account, "LocalSystem") || sameWordIgnoringCase(account, ".\\LocalSystem");
}

bool serviceAccountAccepted(const std::string& account) {
    return isLocalSystem(account) || sameWordIgnoringCase(account, "NT AUTHORITY\\LocalService") ||
           sameWordIgnoringCase(account, "NT AUTHORITY\\NetworkService") ||
           (startsWithIgnoringCase(account, "NT SERVICE\\") && account.size() > 11);
}

std::string recoveryActionsText(const std::vector<ScmAction>& actions) {
    std::string text;
    for (const ScmAction& action : actions) {
        if (!text.empty()) text += ';';
        text += action.type == kScActionRestart ? "restart " + std::to_string(action.delayMs / 1000) : "none";
    }
    return text;
}

bool parseRecoveryActions(const std::string& list, std::vector<ScmAction>* actions, std::string* problem) {
    actions->clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(start, end - start);
        start = end + 1;
        if (trimmed(item).empty()) continue;
        ScmAction action = {};
        if (!recoveryAction(item, &action, problem)) return false;
        if (actions->size() == kMaxRecoveryActions) {
            *problem = "service.on_failure: more than 20 actions";
            return false;
        }
        actions->push_back(action);
    }
    return true;
}

bool planInstall(const InstallRequest& request, InstallPlan* plan, std::string* problem) {
    *plan = InstallPlan();
    if (!planStart(request, plan, problem) || !planAccount(request, plan, problem)) return false;
    // The system allows the interactive flag only for LocalSystem.
    if (request.interactive && plan->account.empty()) plan->serviceType |= kServiceInteractiveProcess;
    if (!parseRecoveryActions(request.onFailure, &plan->actions, problem)) return false;
    plan->recovery = !plan->actions.empty();
    plan->resetPeriodSeconds = 86400;
    if (plan->recovery && request.hasFailureResetAfter &&
        !parseSeconds(request.failureResetAfter, 0x7FFFFFFF, &plan->resetPeriodSeconds)) {
        *problem = "service.failure_reset_after \"" + request.failureResetAfter + "\" is not a number of seconds";
        return false;
    }
    return true;
}

ScmFailureActions failureActionsRecord(InstallPlan& plan) {
    ScmFailureActions record = {};
    record.resetPeriodSeconds = plan.resetPeriodSeconds;
    record.actionCount = static_cast<uint32_t>(plan.actions.size());
    record.actions = plan.actions.empty() ? nullptr : plan.actions.data();
    return record;
}

ScmFailureActionsFlag failureActionsFlagRecord() {
    // The service reports the application's failure as a stop with an
    // error code (not as a crash): without this flag the system would run
    // the recovery actions only when the service process itself dies.
    return {1};
}

ScmDelayedAutoStart delayedAutoStartRecord(const InstallPlan& plan) { return {plan.delayedAutoStart ? 1 : 0}; }

PasswordSpan findPassword(const char* data, size_t size) {
    PasswordSpan span;
    size_t start = 0;
    if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF && static_cast<unsigned char>(data[1]) == 0xBB &&
        static_cast<unsigned char>(data[2]) == 0xBF) {
        start = 3;
        span.utf8 = true;
    }
    size_t end = start;
    while (end < size && data[end] != '\n' && data[end] != '\r') {
        if (data[end] == '\0') return span;
        ++end;
    }
    span.offset = start;
    span.length = end - start;
    span.ok = span.length > 0 && span.length <= kMaxPasswordLength;
    return span;
}
