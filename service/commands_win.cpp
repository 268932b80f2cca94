// The service commands: install, uninstall, start, stop and status against
// the Service Control Manager of the local machine. Outcomes are printed on
// standard output (the caller turns the result into the exit code).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/console_win.h"
#include "core/state.h"
#include "files/paths.h"
#include "service/commands.h"
#include "service/install_win.h"
#include "service/stopwait.h"

namespace {

// One owner for each SCM handle, so no early return leaks one.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
    ~ScHandle() {
        if (handle_) CloseServiceHandle(handle_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(SC_HANDLE handle) {
        if (handle_) CloseServiceHandle(handle_);
        handle_ = handle;
    }

private:
    SC_HANDLE handle_;
};

// Formatted with the launcher's own bounded formatter rather than the C
// runtime's printf, whose conversions (floating point included) would be
// linked for these few lines. The longest line holds the service name.
void sayWith(const char* format, va_list args) {
    static char line[kPathCapacity + 128];
    vformatText(line, sizeof line, format, args);
    fputs(line, standardOutput());
    fflush(standardOutput());
}

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    sayWith(format, args);
    va_end(args);
}

void sayIf(bool print, const char* format, ...) {
    if (!print) return;
    va_list args;
    va_start(args, format);
    sayWith(format, args);
    va_end(args);
}

// The manager of the local machine and, when asked for, this launcher's
// service in it.
struct ServiceConnection {
    ScHandle manager;
    ScHandle service;
};

// Opens the manager with managerAccess and, for a non-zero serviceAccess,
// the service. False (said when print) only when the manager refuses: a
// service that cannot be opened is left null for the caller, whose
// message names what it was about to do.
bool connect(ServiceConnection& connection, DWORD managerAccess, DWORD serviceAccess, bool print) {
    connection.manager.reset(OpenSCManagerA(nullptr, nullptr, managerAccess));
    if (!connection.manager) {
        sayIf(print, "Could not open SCManager.\n");
        return false;
    }
    if (serviceAccess) connection.service.reset(OpenServiceA(connection.manager.get(), serviceName, serviceAccess));
    return true;
}

class ServiceProbe : public StopWaitProbe {
public:
    explicit ServiceProbe(SC_HANDLE service) : service_(service) {}
    bool query(PolledStatus& status) override {
        SERVICE_STATUS raw = {};
        if (!QueryServiceStatus(service_, &raw)) return false;
        status.state = raw.dwCurrentState;
        status.checkPoint = raw.dwCheckPoint;
        status.waitHint = raw.dwWaitHint;
        return true;
    }
    uint32_t ticks() override { return GetTickCount(); }
    void sleep(uint32_t milliseconds) override { Sleep(milliseconds); }

private:
    SC_HANDLE service_;
};

bool waitForServiceStop(SC_HANDLE service) {
    ServiceProbe probe(service);
    return waitForStopWith(probe);
}

// The command the SCM runs: the launcher's own path in double quotes.
std::vector<char> quotedModulePath() {
    const char* path = getModulePath();
    size_t capacity = textLength(path, kPathCapacity) + 3;
    std::vector<char> quoted(capacity);
    formatText(quoted.data(), capacity, "\"%s\"", path);
    return quoted;
}

using ChangeConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
using QueryConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);

// An advapi32 entry looked up at run time, so the launcher stays loadable
// where it is missing; null then.
FARPROC advapiEntry(const char* name) {
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    FARPROC entry = advapi ? GetProcAddress(advapi, name) : nullptr;
    // A warning that follows names this error rather than an older one.
    if (!entry) SetLastError(ERROR_PROC_NOT_FOUND);
    return entry;
}

ChangeConfig2 changeConfig2Entry() {
    return reinterpret_cast<ChangeConfig2>(reinterpret_cast<void (*)()>(advapiEntry("ChangeServiceConfig2W")));
}

// The description is set when advapi32 offers ChangeServiceConfig2W; the
// lookup at run time keeps the launcher loadable where it does not.
void setDescription(SC_HANDLE service) {
    wchar_t text[kPathCapacity];
    getMessage(msg::ServiceDescription, text, kPathCapacity);
    if (!text[0]) return;
    ChangeConfig2 changeConfig2 = changeConfig2Entry();
    if (!changeConfig2) return;
    SERVICE_DESCRIPTIONW description = {text};
    changeConfig2(service, SERVICE_CONFIG_DESCRIPTION, &description);
}

std::string configText(int key) {
    char text[kPathCapacity];
    getConfigString(key, text, kPathCapacity);
    return text;
}

// Whether the system kept the recovery actions as they were set: some
// accept the call and keep nothing.
bool recoveryKept(SC_HANDLE service, const InstallPlan& plan) {
    auto query = reinterpret_cast<QueryConfig2>(reinterpret_cast<void (*)()>(advapiEntry("QueryServiceConfig2W")));
    if (!query) return false;
    // SERVICE_FAILURE_ACTIONSW holds pointers: keep the buffer aligned for them.
    union {
        SERVICE_FAILURE_ACTIONSW actions;
        BYTE bytes[4096];
    } buffer;
    DWORD needed = 0;
    if (!query(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.bytes, sizeof buffer, &needed)) return false;
    bool same = buffer.actions.cActions == plan.actions.size() &&
                buffer.actions.dwResetPeriod == plan.resetPeriodSeconds;
    for (size_t i = 0; same && i < plan.actions.size(); ++i) {
        const SC_ACTION& kept = buffer.actions.lpsaActions[i];
        same = static_cast<uint32_t>(kept.Type) == plan.actions[i].type && kept.Delay == plan.actions[i].delayMs;
    }
    if (!same) SetLastError(ERROR_INVALID_DATA);
    return same;
}

// What the install registers beyond the service itself. Whatever the
// system refuses is said, but the service stays installed: it runs, only
// without that part.
void registerExtras(SC_HANDLE service, InstallPlan& plan) {
    ChangeConfig2 changeConfig2 = changeConfig2Entry();
    if (plan.recovery) {
        std::vector<SC_ACTION> storage;
        SERVICE_FAILURE_ACTIONSW actions;
        toWindowsFailureActions(failureActionsRecord(plan), actions, storage);
        if (!changeConfig2 || !changeConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
            say("Warning: the system refused the recovery actions (error %d).\n", static_cast<int>(GetLastError()));
        else if (!recoveryKept(service, plan))
            say("Warning: the system did not keep the recovery actions (error %d).\n",
                static_cast<int>(GetLastError()));
        SERVICE_FAILURE_ACTIONS_FLAG flag = toWindowsFailureActionsFlag(failureActionsFlagRecord());
        if (!changeConfig2 || !changeConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag))
            say("Warning: the system refused to run the recovery actions when the application fails (error %d); "
                "they run only when the service process itself ends unexpectedly.\n",
                static_cast<int>(GetLastError()));
    }
    if (plan.delayedAutoStart) {
        SERVICE_DELAYED_AUTO_START_INFO delayed = toWindowsDelayedAutoStart(delayedAutoStartRecord(plan));
        if (!changeConfig2 || !changeConfig2(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed))
            say("Warning: the system refused the delayed automatic start (error %d); the service starts "
                "automatically without delay.\n",
                static_cast<int>(GetLastError()));
    }
}

// The password of a user account, in one fixed buffer that is wiped when it
// goes: it is never stored, printed or logged.
class Password {
public:
    Password() = default;
    ~Password() { SecureZeroMemory(text_, sizeof text_); }
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;
    // Reads the first line of the file. False after saying why.
    bool read(const std::string& file);
    const char* get() const { return given_ ? text_ : nullptr; }

private:
    char text_[4 * kMaxPasswordLength + 4] = {};
    bool given_ = false;
};

bool Password::read(const std::string& file) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        say("Could not read the password file '%s' (error %d).\n", file.c_str(), static_cast<int>(GetLastError()));
        return false;
    }
    char raw[4 * kMaxPasswordLength + 8];
    DWORD size = 0;
    BOOL read = ReadFile(handle, raw, sizeof raw, &size, nullptr);
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!read) {
        SecureZeroMemory(raw, sizeof raw);
        say("Could not read the password file '%s' (error %d).\n", file.c_str(), static_cast<int>(error));
        return false;
    }
    PasswordSpan span = findPassword(raw, size);
    bool ok = span.ok;
    if (ok && span.utf8) {
        // UTF-8 text: through UTF-16 to the ANSI code page CreateServiceA takes.
        wchar_t wide[kMaxPasswordLength + 1];
        int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw + span.offset,
                                        static_cast<int>(span.length), wide, kMaxPasswordLength);
        BOOL lossy = FALSE;
        int bytes = units > 0 ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, text_,
                                                    static_cast<int>(sizeof text_ - 1), nullptr, &lossy)
                              : 0;
        SecureZeroMemory(wide, sizeof wide);
        ok = bytes > 0 && !lossy;
        if (ok) text_[bytes] = 0;
    } else if (ok) {
        copyTextN(text_, sizeof text_, raw + span.offset, span.length);
    }
    SecureZeroMemory(raw, sizeof raw);
    if (!ok) {
        SecureZeroMemory(text_, sizeof text_);
        say("The password file '%s' holds no usable password: its first line must be the password, at most %d "
            "characters that the ANSI code page can carry.\n",
            file.c_str(), static_cast<int>(kMaxPasswordLength));
        return false;
    }
    given_ = true;
    return true;
}

}  // namespace

int installService(InstallWord word, const CommandRequest& command) {
    if (!command.optionProblem.empty()) {
        say("Could not install: %s.\n", command.optionProblem.c_str());
        return 1;
    }
    InstallRequest request;
    request.word = word;
    request.interactive = command.interactive;
    request.executableType = getConfigInt(key::ExecutableType);
    request.start = configText(key::ServiceStart);
    request.account = configText(key::ServiceAccount);
    request.user = command.user;
    request.onFailure = configText(key::ServiceOnFailure);
    request.hasFailureResetAfter = hasConfigValue(key::ServiceFailureResetAfter);
    request.failureResetAfter = configText(key::ServiceFailureResetAfter);
    InstallPlan plan;
    std::string problem;
    if (!planInstall(request, &plan, &problem)) {
        say("Could not install: %s.\n", problem.c_str());
        return 1;
    }
    Password password;
    if (command.hasPasswordFile && !password.read(command.passwordFile)) return 1;

    uninstallService(false);
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_ALL_ACCESS, 0, true)) return 1;
    std::vector<char> binaryPath = quotedModulePath();
    char dependencyKey[kPathCapacity];
    getConfigString(key::ServiceDependencies, dependencyKey, kPathCapacity);
    std::string dependencies = buildDependencyList(dependencyKey);

    // No account name is LocalSystem, as the service has always been registered.
    const char* account = plan.account.empty() ? nullptr : plan.account.c_str();
    ScHandle service(CreateServiceA(connection.manager.get(), serviceName, serviceName, SERVICE_ALL_ACCESS,
                                    plan.serviceType, plan.startType, SERVICE_ERROR_NORMAL, binaryPath.data(),
                                    nullptr, nullptr, dependencies.empty() ? nullptr : dependencies.c_str(), account,
                                    password.get()));
    if (!service) {
        DWORD error = GetLastError();
        say("Could not create service.\n");
        if (error == ERROR_INVALID_SERVICE_ACCOUNT)
            say("The account '%s' does not exist or cannot run services (error %d).\n", plan.account.c_str(),
                static_cast<int>(error));
        else if (account)
            say("Error code: %d (account '%s').\n", static_cast<int>(error), plan.account.c_str());
        return 1;
    }
    setDescription(service.get());
    say("Installed service '%s'.\n", serviceName);
    registerExtras(service.get(), plan);
    return 0;
}

int uninstallService(bool print) {
    stopService(false);
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_ALL_ACCESS, DELETE, print)) return 1;
    if (!connection.service || !DeleteService(connection.service.get())) {
        sayIf(print, "Could not delete service.\n");
        return 1;
    }
    sayIf(print, "Uninstalled service '%s'.\n", serviceName);
    return 0;
}

int stopService(bool print) {
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS, print)) return 1;
    const ScHandle& service = connection.service;
    if (!service) {
        sayIf(print, "Could not stop service.\n");
        return 1;
    }
    SERVICE_STATUS status = {};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        // A running service was found: these lines appear even when the
        // caller asked for silence, so an install over it shows the stop.
        say("Stopping service '%s'.\n", serviceName);
        if (waitForServiceStop(service.get()))
            say("Service stopped\n");
        else
            say("Error while stopping service\n");
        return 0;
    }
    if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
        say("Service is already stopped.\n");
        return 0;
    }
    sayIf(print, "Could not stop service.\n");
    return 1;
}

int startService() {
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_CONNECT, SERVICE_START, true)) return 1;
    const ScHandle& service = connection.service;
    if (service && StartServiceA(service.get(), 0, nullptr)) {
        say("Starting service '%s'.\n", serviceName);
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_ALREADY_RUNNING) {
        say("Service is already running.\n");
        return 0;
    }
    say("Could not start service. Error code: %d\n", static_cast<int>(error));
    return 1;
}

int printServiceStatus() {
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS, true)) return 1;
    const ScHandle& service = connection.service;
    SERVICE_STATUS status = {};
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        say("Could not get status.\n");
        return 1;
    }
    int result = 3;
    if (status.dwCurrentState == SERVICE_RUNNING) {
        say("Running.\n");
        result = 0;
    } else {
        say("Not running.\n");
    }
    // QUERY_SERVICE_CONFIGA holds pointers: keep the buffer aligned for them.
    union {
        QUERY_SERVICE_CONFIGA config;
        BYTE bytes[kPathCapacity];
    } buffer;
    DWORD needed = 0;
    if (!QueryServiceConfigA(service.get(), &buffer.config, sizeof buffer, &needed)) {
        say("Could not get config (%d, %d).\n", static_cast<int>(GetLastError()), static_cast<int>(needed));
        return 1;
    }
    if (buffer.config.dwStartType == SERVICE_AUTO_START) say("%s.\n", "Auto-start");
    return result;
}
