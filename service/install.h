// What "install" registers beyond the service itself: the start type
// (delayed automatic start included), the account, and the recovery
// actions the system runs when the service fails. The decisions and the
// records handed to the Service Control Manager are built here; the calls
// are in service/commands_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The SCM's values (winsvc.h), so that the portable core can name them.
constexpr uint32_t kServiceWin32OwnProcess = 0x10;
constexpr uint32_t kServiceInteractiveProcess = 0x100;
constexpr uint32_t kServiceAutoStart = 2;
constexpr uint32_t kServiceDemandStart = 3;
constexpr uint32_t kScActionNone = 0;
constexpr uint32_t kScActionRestart = 1;
// The seconds of a "restart N" recovery action: a day at most.
constexpr uint32_t kMaxRecoveryDelaySeconds = 86400;

// The records of ChangeServiceConfig2W, field for field as winsvc.h lays
// them out (SC_ACTION, SERVICE_FAILURE_ACTIONSW, SERVICE_FAILURE_ACTIONS_FLAG,
// SERVICE_DELAYED_AUTO_START_INFO); the Windows layer checks the layout
// against the real ones and passes these.
struct ScmAction {
    uint32_t type;     // SC_ACTION_TYPE
    uint32_t delayMs;  // before the action
};
struct ScmFailureActions {
    uint32_t resetPeriodSeconds;  // dwResetPeriod
    wchar_t* rebootMessage;       // lpRebootMsg: none
    wchar_t* command;             // lpCommand: none
    uint32_t actionCount;         // cActions
    ScmAction* actions;           // lpsaActions
};
struct ScmFailureActionsFlag {
    int32_t onNonCrashFailures;  // BOOL fFailureActionsOnNonCrashFailures
};
struct ScmDelayedAutoStart {
    int32_t delayed;  // BOOL fDelayedAutostart
};

// How the install was asked for: the command word's start type and the
// options of its command line.
enum class InstallWord {
    Install,        // "install" and "install-and-start": the configured start type
    InstallAuto,    // automatic (delayed when the project says delayed-auto)
    InstallDemand,  // manual
};

struct InstallRequest {
    InstallWord word = InstallWord::Install;
    bool interactive = true;
    int executableType = 0;      // config key 107
    std::string start;           // config key 178, empty when absent
    std::string account;         // config key 179, empty when absent
    std::string user;            // --user from the command line, empty when not given
    std::string onFailure;       // config key 176
    bool hasFailureResetAfter = false;
    std::string failureResetAfter;  // config key 177
};

struct InstallPlan {
    uint32_t serviceType = kServiceWin32OwnProcess;
    uint32_t startType = kServiceDemandStart;
    bool delayedAutoStart = false;
    // The account handed to CreateService: empty for LocalSystem (no name,
    // as the service has always been registered).
    std::string account;
    bool userAccount = false;  // from --user: the password file belongs to it
    bool recovery = false;     // recovery actions are to be registered
    uint32_t resetPeriodSeconds = 0;
    std::vector<ScmAction> actions;
};

// Builds the plan. False (with the reason in *problem, for the console)
// when the configuration holds something the launcher cannot register; the
// install then changes nothing.
bool planInstall(const InstallRequest& request, InstallPlan* plan, std::string* problem);

// The recovery actions of config key 176: ";"-separated items "restart N"
// (N seconds, 0 to 86400) and "none". At most 20 items.
bool parseRecoveryActions(const std::string& list, std::vector<ScmAction>* actions, std::string* problem);

// The records for ChangeServiceConfig2W. The failure actions point into
// plan.actions, which must outlive the record.
ScmFailureActions failureActionsRecord(InstallPlan& plan);
ScmFailureActionsFlag failureActionsFlagRecord();
ScmDelayedAutoStart delayedAutoStartRecord(const InstallPlan& plan);

// Whether an account name is LocalSystem (no name is given then).
bool isLocalSystem(const std::string& account);
// Whether the project may name the account: LocalSystem, the two NT
// AUTHORITY accounts or a virtual account NT SERVICE\<name>. A user
// account is given at install, with its password, never in the project.
bool serviceAccountAccepted(const std::string& account);

// The recovery actions in the form the writers store them: "restart N"
// and "none", separated by ";".
std::string recoveryActionsText(const std::vector<ScmAction>& actions);

// Where the password lies in the text of a password file: its first line,
// after a UTF-8 byte-order mark (utf8 then says the text is UTF-8 rather
// than the ANSI code page) and without the line end. Worked out in place,
// so that the password exists in one buffer only, which the caller wipes.
// ok is false for an empty password line, a NUL in it, or more than
// kMaxPasswordLength bytes.
constexpr size_t kMaxPasswordLength = 256;
struct PasswordSpan {
    bool ok = false;
    bool utf8 = false;
    size_t offset = 0;
    size_t length = 0;
};
PasswordSpan findPassword(const char* data, size_t size);
