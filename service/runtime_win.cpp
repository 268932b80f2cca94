// The service process. It never loads a Java VM: it starts the launcher a
// second time as the service child, reports the service status, turns stop
// and shutdown requests into one line on the child's standard input, and
// ends when the child has ended.
#include <windows.h>

#include <string>
#include <vector>

#include "base/bounded.h"
#include "base/text_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "core/state.h"
#include "core/state_win.h"
#include "service/childcmd.h"
#include "service/runtime_win.h"
#include "service/shutdown.h"
#include "service/status.h"

namespace {


// How often a stop that waits for the child reports progress.
constexpr DWORD kStopProgressMilliseconds = 2000;
// Exit code of a child ended by force after the stop timeout.
constexpr UINT kForcedChildExitCode = 1;

class Locked {
public:
    Locked() { EnterCriticalSection(&serviceLock); }
    ~Locked() { LeaveCriticalSection(&serviceLock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// The one place where the record goes to the SCM. Called with the lock
// held. A non-zero number names the report in the failure log line.
bool reportStatus(int failureNumber) {
    SERVICE_STATUS record = {};
    record.dwServiceType = serviceStatus.serviceType;
    record.dwCurrentState = serviceStatus.currentState;
    record.dwControlsAccepted = serviceStatus.controlsAccepted;
    record.dwWin32ExitCode = serviceStatus.win32ExitCode;
    record.dwServiceSpecificExitCode = serviceStatus.serviceSpecificExitCode;
    record.dwCheckPoint = serviceStatus.checkPoint;
    record.dwWaitHint = serviceStatus.waitHint;
    if (SetServiceStatus(serviceStatusHandle, &record)) return true;
    DWORD error = GetLastError();
    if (failureNumber) logLine(L"SetServiceStatus %d failed %d", failureNumber, static_cast<int>(error));
    return false;
}

bool writeChannel(void* handle, const char* data, size_t size, uint32_t* error) {
    DWORD written = 0;
    if (WriteFile(static_cast<HANDLE>(handle), data, static_cast<DWORD>(size), &written, nullptr) &&
        written == size)
        return true;
    *error = GetLastError();
    return false;
}

void closeChannel(void* handle) { CloseHandle(static_cast<HANDLE>(handle)); }

const ShutdownChannelOps channelOps = {writeChannel, closeChannel};

// ANSI text as wide text, cut to the general limit of 5999 characters.
std::wstring ansiToWide(const char* text) {
    std::wstring result = widenWhole(CP_ACP, text);
    if (result.size() > kPathCapacity - 1) result.resize(kPathCapacity - 1);
    return result;
}

void takeServiceName(DWORD argc, LPSTR* argv) {
    size_t length = argc >= 1 && argv[0] ? textLength(argv[0], kPathCapacity) : 0;
    copyText(serviceName, kPathCapacity, length >= 1 && length < kPathCapacity ? argv[0] : "unknown");
    logLine(L"service name is '%S'", serviceName);
}

bool buildCommandLine(DWORD argc, LPSTR* argv) {
    ArgumentVector own;
    splitCommandLine(GetCommandLineW(), own);
    std::vector<std::wstring> startParameters;
    for (DWORD i = 1; i < argc; ++i) startParameters.push_back(ansiToWide(argv[i] ? argv[i] : ""));
    std::wstring offending;
    switch (buildChildCommandLine(serviceChildCommandLine, kLongCapacity, own, ansiToWide(serviceName), startParameters,
                                  &offending)) {
    case ChildLineResult::Built: return true;
    case ChildLineResult::TooLong:
        logError(L"service child command line longer than %d characters", static_cast<int>(kLongCapacity - 1));
        return false;
    case ChildLineResult::Unquotable:
        logError(L"service child argument holds both ' and \" and cannot be passed on: %s", offending.c_str());
        return false;
    }
    return false;
}

// The service cannot run its child: say so to the SCM rather than leave it
// believing in a running service that has nothing behind it.
void reportStartFailure() {
    Locked lock;
    markStartFailed(serviceStatus);
    reportStatus(0);
}

struct ChildPipes {
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    HANDLE inputRead = nullptr;
    HANDLE inputWrite = nullptr;  // the shutdown channel
};

void closeIfOpen(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

void closePipes(ChildPipes& pipes) {
    closeIfOpen(pipes.outputRead);
    closeIfOpen(pipes.outputWrite);
    closeIfOpen(pipes.inputRead);
    closeIfOpen(pipes.inputWrite);
}

bool createPipes(ChildPipes& pipes) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&pipes.outputRead, &pipes.outputWrite, &inheritable, 0)) {
        logLine(L"CreatePipe error (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    if (!SetHandleInformation(pipes.outputRead, HANDLE_FLAG_INHERIT, 0)) {
        logLine(L"SetHandleInformation error (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    if (!CreatePipe(&pipes.inputRead, &pipes.inputWrite, &inheritable, 0)) {
        logLine(L"CreatePipe error 2 (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    if (!SetHandleInformation(pipes.inputWrite, HANDLE_FLAG_INHERIT, 0)) {
        logLine(L"SetHandleInformation error 2 (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

// The child starts suspended and joins a job before it runs, so that
// everything it starts belongs to the job too and a stop that times out
// can end all of it. Without a job (none can be made, or the service
// itself sits in one that forbids it) only the child can be ended.
HANDLE placeInJob(PROCESS_INFORMATION& child) {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job && AssignProcessToJobObject(job, child.hProcess)) return job;
    logError(L"could not place the service child in a job (%d)", static_cast<int>(GetLastError()));
    if (job) CloseHandle(job);
    return nullptr;
}

bool startChild(ChildPipes& pipes, PROCESS_INFORMATION& child, HANDLE& job) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = pipes.inputRead;
    startup.hStdOutput = pipes.outputWrite;
    startup.hStdError = pipes.outputWrite;
    DWORD flags = readServicePriority() | DETACHED_PROCESS | CREATE_SUSPENDED;
    if (!CreateProcessW(nullptr, serviceChildCommandLine, nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                        &child)) {
        logLine(L"could not start process %s (%d)", serviceChildCommandLine, static_cast<int>(GetLastError()));
        return false;
    }
    job = placeInJob(child);
    ResumeThread(child.hThread);
    return true;
}

void startDrain(HANDLE& outputRead) {
    HANDLE thread = CreateThread(nullptr, 0, drainChildOutput, outputRead, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    // Without a reader the child would block on a full pipe; with the read
    // end closed its writes fail instead.
    logError(L"could not start the output drain (%d)", static_cast<int>(GetLastError()));
    closeIfOpen(outputRead);
}

// Ends the child and everything it started; waits a little for the end to
// take effect so its exit code can be read.
void endChildByForce(PROCESS_INFORMATION& child, HANDLE job) {
    if (!(job && TerminateJobObject(job, kForcedChildExitCode)) &&
        !TerminateProcess(child.hProcess, kForcedChildExitCode))
        logError(L"could not end the service child (%d)", static_cast<int>(GetLastError()));
    WaitForSingleObject(child.hProcess, 10000);
}

// Waits for the child. After a stop request the stop keeps moving (check
// point advanced every few seconds, so neither the SCM nor /stop give up on
// it), and once the stop timeout has passed the child and everything it
// started are ended. True when the child had to be ended by force.
bool waitForChild(PROCESS_INFORMATION& child, HANDLE job) {
    HANDLE handles[2] = {child.hProcess, serviceStopRequested};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) return false;
    uint32_t timeout = stopTimeoutMilliseconds(getConfigInt(key::ServiceStopTimeout));
    DWORD start;
    {
        Locked lock;
        start = serviceStopRequestTick;
    }
    while (WaitForSingleObject(child.hProcess, kStopProgressMilliseconds) != WAIT_OBJECT_0) {
        if (stopOverdue(start, GetTickCount(), timeout)) {
            logError(L"the application did not end within %d seconds of the stop request; ending it and every "
                     L"process it started",
                     static_cast<int>(timeout / 1000));
            endChildByForce(child, job);
            return true;
        }
        Locked lock;
        if (advanceStopProgress(serviceStatus)) reportStatus(11);
    }
    return false;
}

// Reports stopped and ends the process at once: nothing of the service may
// linger once the SCM has heard it stopped (an upgrade replaces the
// executable right after /stop).
[[noreturn]] void finishAfterChild(PROCESS_INFORMATION& child, HANDLE job, bool forced) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(child.hProcess, &exitCode)) exitCode = 0;
    logLine(L"process terminated with exit code %d", static_cast<int>(exitCode));
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    if (job) CloseHandle(job);
    {
        Locked lock;
        markChildEnded(serviceStatus, exitCode, forced);
        reportStatus(10);
        logLine(L"service stopped set");
    }
    logLine(L"exiting");
    ExitProcess(0);
}

void finishWithoutChild() {
    reportStartFailure();
    SetEvent(serviceThreadDone);
}

// Only flags that name a priority class may reach CreateProcessW; others
// (suspended, new console, ...) would leave the child hanging or unborn.
DWORD priorityClassOnly(DWORD value) {
    const DWORD classes = IDLE_PRIORITY_CLASS | BELOW_NORMAL_PRIORITY_CLASS | NORMAL_PRIORITY_CLASS |
                          ABOVE_NORMAL_PRIORITY_CLASS | HIGH_PRIORITY_CLASS | REALTIME_PRIORITY_CLASS;
    if (value & ~classes)
        logError(L"priority value %d holds flags that are not a priority class; they are ignored",
                 static_cast<int>(value));
    return value & classes;
}

}  // namespace

void WINAPI serviceMain(DWORD argc, LPSTR* argv) {
    logLine(L"service main");
    InitializeCriticalSection(&serviceLock);
    serviceStopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    serviceThreadDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    serviceStatus = ServiceStatusRecord();
    takeServiceName(argc, argv);
    serviceStatusHandle = RegisterServiceCtrlHandlerA(serviceName, serviceControlHandler);
    if (!serviceStatusHandle) {
        SetEvent(serviceThreadDone);
        return;
    }
    {
        Locked lock;
        reportStatus(0);
    }
    if (!buildCommandLine(argc, argv)) {
        finishWithoutChild();
        return;
    }
    ChildPipes pipes;
    if (!createPipes(pipes)) {
        closePipes(pipes);
        finishWithoutChild();
        return;
    }
    PROCESS_INFORMATION child = {};
    HANDLE job = nullptr;
    if (!startChild(pipes, child, job)) {
        closePipes(pipes);
        finishWithoutChild();
        return;
    }
    // Only the child keeps its ends, so its end gives end of file here and
    // a closed channel gives end of file there.
    closeIfOpen(pipes.outputWrite);
    closeIfOpen(pipes.inputRead);
    startDrain(pipes.outputRead);
    {
        Locked lock;
        markChildStarted(serviceStatus);
        reportStatus(0);
        attachShutdownChannel(shutdownChannel, pipes.inputWrite, channelOps);
    }
    logLine(L"registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(ignoreConsoleEvents, TRUE);
    bool forced = waitForChild(child, job);
    finishAfterChild(child, job, forced);
}

void awaitServiceThread() {
    // The service thread ends the process itself; this only bounds the wait
    // when it returns instead (it reported stopped first).
    if (serviceThreadDone) WaitForSingleObject(serviceThreadDone, 5000);
}

void WINAPI serviceControlHandler(DWORD control) {
    logLine(L"control handler request %d", static_cast<int>(control));
    ControlOutcome outcome;
    {
        Locked lock;
        outcome = applyControlRequest(serviceStatus, control);
        reportStatus(outcome.reportNumber);
        if (outcome.sendShutdown && WaitForSingleObject(serviceStopRequested, 0) != WAIT_OBJECT_0) {
            serviceStopRequestTick = GetTickCount();
            SetEvent(serviceStopRequested);
        }
    }
    if (outcome.sendShutdown) sendShutdown(0);
}

void sendShutdown(int code) {
    Locked lock;
    requestShutdown(shutdownChannel, code, channelOps);
}

DWORD readServicePriority() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\brevane\\morlin\\priority", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return NORMAL_PRIORITY_CLASS;
    DWORD result = NORMAL_PRIORITY_CLASS;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, serviceName, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) ==
            ERROR_SUCCESS &&
        size == sizeof data) {
        logLine(L"using priority %d", static_cast<int>(data));
        result = priorityClassOnly(data);
    }
    RegCloseKey(key);
    return result;
}

DWORD WINAPI drainChildOutput(LPVOID readHandle) {
    logLine(L"consuming output");
    char buffer[kPathCapacity];
    DWORD count = 0;
    while (ReadFile(static_cast<HANDLE>(readHandle), buffer, sizeof buffer, &count, nullptr) && count > 0) {
    }
    logLine(L"consuming output done");
    return 0;
}

BOOL WINAPI ignoreConsoleEvents(DWORD) {
    logLine(L"ConsoleCtrlHandler event");
    return TRUE;
}
