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

// The description is set when advapi32 offers ChangeServiceConfig2W; the
// lookup at run time keeps the launcher loadable where it does not.
void setDescription(SC_HANDLE service) {
    wchar_t text[kPathCapacity];
    getMessage(msg::ServiceDescription, text, kPathCapacity);
    if (!text[0]) return;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return;
    FARPROC entry = GetProcAddress(advapi, "ChangeServiceConfig2W");
    if (!entry) return;
    using ChangeConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
    auto changeConfig2 = reinterpret_cast<ChangeConfig2>(reinterpret_cast<void (*)()>(entry));
    SERVICE_DESCRIPTIONW description = {text};
    changeConfig2(service, SERVICE_CONFIG_DESCRIPTION, &description);
}

}  // namespace

int installService(int startType, bool interactive) {
    uninstallService(false);
    ServiceConnection connection;
    if (!connect(connection, SC_MANAGER_ALL_ACCESS, 0, true)) return 1;
    std::vector<char> binaryPath = quotedModulePath();
    char dependencyKey[kPathCapacity];
    getConfigString(key::ServiceDependencies, dependencyKey, kPathCapacity);
    std::string dependencies = buildDependencyList(dependencyKey);

    DWORD serviceType = SERVICE_WIN32_OWN_PROCESS | (interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
    ScHandle service(CreateServiceA(connection.manager.get(), serviceName, serviceName, SERVICE_ALL_ACCESS, serviceType,
                                    static_cast<DWORD>(startType), SERVICE_ERROR_NORMAL, binaryPath.data(),
                                    nullptr, nullptr, dependencies.empty() ? nullptr : dependencies.c_str(),
                                    nullptr, nullptr));
    if (!service) {
        say("Could not create service.\n");
        return 1;
    }
    setDescription(service.get());
    say("Installed service '%s'.\n", serviceName);
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
