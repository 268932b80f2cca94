// The service process. It never loads a Java VM: it starts the launcher a
// second time as the service child, reports the service status, turns stop
// and shutdown requests into one line on the child's standard input, writes
// what the child prints to the service log, and ends when the child has
// ended, unless the restart policy starts it again.
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
#include "service/restart.h"
#include "service/runtime_win.h"
#include "service/servicelog_win.h"
#include "service/shutdown.h"
#include "service/status.h"

namespace {


// How often a stop that waits for the child reports progress.
constexpr DWORD kStopProgressMilliseconds = 2000;
// Exit code of a child ended by force after the stop timeout.
constexpr UINT kForcedChildExitCode = 1;
// The SCM hears a control's answer only after the handler has returned:
// the dispatcher writes it back then. How long the end of the service
// waits for a handler still running, and the moment it leaves its answer.
constexpr DWORD kControlAnswerWaitMilliseconds = 2000;
constexpr DWORD kControlAnswerGraceMilliseconds = 100;

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

bool buildCommandLine(DWORD argc, LPSTR* argv, char* reason, size_t capacity) {
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
        formatText(reason, capacity, "the application's command line would be longer than %u characters",
                   static_cast<unsigned>(kLongCapacity - 1));
        return false;
    case ChildLineResult::Unquotable:
        logError(L"service child argument holds both ' and \" and cannot be passed on: %s", offending.c_str());
        formatText(reason, capacity, "the argument %S holds both ' and \" and cannot be passed to the application",
                   offending.c_str());
        return false;
    }
    return false;
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

bool startChild(ChildPipes& pipes, PROCESS_INFORMATION& child, HANDLE& job, DWORD* error) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = pipes.inputRead;
    startup.hStdOutput = pipes.outputWrite;
    startup.hStdError = pipes.outputWrite;
    DWORD flags = readServicePriority() | DETACHED_PROCESS | CREATE_SUSPENDED;
    if (!CreateProcessW(nullptr, serviceChildCommandLine, nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                        &child)) {
        *error = GetLastError();
        logLine(L"could not start process %s (%d)", serviceChildCommandLine, static_cast<int>(*error));
        return false;
    }
    job = placeInJob(child);
    ResumeThread(child.hThread);
    return true;
}

// One run of the service child: its process, its job, the pipes and the
// thread that drains its output.
struct ChildRun {
    PROCESS_INFORMATION process = {};
    HANDLE job = nullptr;
    HANDLE drainThread = nullptr;
    // On the heap: a drain that is still reading when the service gives up
    // waiting for it keeps using it.
    ChildOutputDrain* drain = nullptr;
    DWORD startTick = 0;
};

void startDrain(ChildRun& run, HANDLE& outputRead) {
    run.drain = new ChildOutputDrain;
    run.drain->readEnd = outputRead;
    run.drainThread = CreateThread(nullptr, 0, drainChildOutput, run.drain, 0, nullptr);
    if (run.drainThread) {
        outputRead = nullptr;  // the drain's now
        return;
    }
    // Without a reader the child would block on a full pipe; with the read
    // end closed its writes fail instead.
    logError(L"could not start the output drain (%d)", static_cast<int>(GetLastError()));
    delete run.drain;
    run.drain = nullptr;
    closeIfOpen(outputRead);
}

// Starts the child; on failure reason says why, for the logs.
bool startChildRun(ChildRun& run, char* reason, size_t capacity) {
    ChildPipes pipes;
    if (!createPipes(pipes)) {
        formatText(reason, capacity, "could not create the pipes to the application (error %u)",
                   static_cast<unsigned>(GetLastError()));
        closePipes(pipes);
        return false;
    }
    DWORD error = 0;
    if (!startChild(pipes, run.process, run.job, &error)) {
        formatText(reason, capacity, "could not start the application: %S (error %u)", serviceChildCommandLine,
                   static_cast<unsigned>(error));
        closePipes(pipes);
        return false;
    }
    run.startTick = GetTickCount();
    // Only the child keeps its ends, so its end gives end of file here and
    // a closed channel gives end of file there.
    closeIfOpen(pipes.outputWrite);
    closeIfOpen(pipes.inputRead);
    startDrain(run, pipes.outputRead);
    serviceLogf("application started (process %u)", static_cast<unsigned>(run.process.dwProcessId));
    Locked lock;
    markChildStarted(serviceStatus);
    reportStatus(0);
    // A fresh channel for this child; a stop that came before it is sent now.
    attachShutdownChannel(shutdownChannel, pipes.inputWrite, channelOps);
    return true;
}

// Waits (bounded) until the drain has read the child's last words, and
// takes the last line it saw. A process the child left behind may hold
// the pipe open; then the drain goes on alone.
std::string finishDrain(ChildRun& run, DWORD milliseconds) {
    std::string last;
    if (!run.drainThread) return last;
    if (WaitForSingleObject(run.drainThread, milliseconds) == WAIT_OBJECT_0) {
        last = run.drain->lines.lastLine();
        // The drain leaves its pipe open; a restart must not leave one
        // behind per run.
        CloseHandle(run.drain->readEnd);
        delete run.drain;
    } else {
        logError(L"the application's output is still open %d ms after its end", static_cast<int>(milliseconds));
    }
    run.drain = nullptr;
    closeIfOpen(run.drainThread);
    return last;
}

void closeChildRun(ChildRun& run) {
    closeIfOpen(run.process.hProcess);
    closeIfOpen(run.process.hThread);
    closeIfOpen(run.job);
}

// Ends the child and everything it started; waits a little for the end to
// take effect so its exit code can be read.
void endChildByForce(PROCESS_INFORMATION& child, HANDLE job) {
    if (!(job && TerminateJobObject(job, kForcedChildExitCode)) &&
        !TerminateProcess(child.hProcess, kForcedChildExitCode))
        logError(L"could not end the service child (%d)", static_cast<int>(GetLastError()));
    WaitForSingleObject(child.hProcess, 10000);
}

bool stopRequested() { return WaitForSingleObject(serviceStopRequested, 0) == WAIT_OBJECT_0; }

// A stop that needs no wait for the child (one during the restart delay)
// would otherwise end the process while the dispatcher has yet to answer
// the stop request: the SCM then fails the caller's ControlService
// although the service stopped. Called before stopped is reported, so
// that whoever waits for stopped finds the process about to end.
void awaitControlAnswers() {
    for (DWORD waited = 0; waited < kControlAnswerWaitMilliseconds; waited += 10) {
        {
            Locked lock;
            if (serviceControlsInFlight == 0 &&
                GetTickCount() - serviceLastControlTick >= kControlAnswerGraceMilliseconds)
                return;
        }
        Sleep(10);
    }
    logError(L"a service control request was still being answered %d ms after the end",
             static_cast<int>(kControlAnswerWaitMilliseconds));
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
            serviceLogf("the application did not end within %u seconds of the stop request; ending it and every "
                        "process it started",
                        timeout / 1000);
            endChildByForce(child, job);
            return true;
        }
        Locked lock;
        if (advanceStopProgress(serviceStatus)) reportStatus(11);
    }
    return false;
}

DWORD childExitCode(const ChildRun& run) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(run.process.hProcess, &exitCode)) exitCode = 0;
    logLine(L"process terminated with exit code %d", static_cast<int>(exitCode));
    return exitCode;
}

// The service log's last line, written before the SCM hears of the end.
// With serviceLock held.
void logServiceEnd() {
    if (serviceStatus.win32ExitCode == 0)
        serviceLogf("service '%s' stopped", serviceName);
    else
        serviceLogf("service '%s' stopped (Win32 exit code %u, service-specific exit code %u)", serviceName,
                    serviceStatus.win32ExitCode, serviceStatus.serviceSpecificExitCode);
}

// Reports stopped and ends the process at once: nothing of the service may
// linger once the SCM has heard it stopped (an upgrade replaces the
// executable right after /stop).
[[noreturn]] void finishService(DWORD exitCode, bool forced) {
    awaitControlAnswers();
    {
        Locked lock;
        markChildEnded(serviceStatus, exitCode, forced);
        logServiceEnd();
        reportStatus(10);
        logLine(L"service stopped set");
    }
    logLine(L"exiting");
    ExitProcess(0);
}

void finishWithoutChild(const char* reason) {
    char line[kPathCapacity + 256];
    formatText(line, sizeof line, "%s; the service stops and reports the failure", reason);
    serviceLogf("%s", line);
    reportFailureEvent(line);
    awaitControlAnswers();
    {
        Locked lock;
        markStartFailed(serviceStatus);
        logServiceEnd();
        reportStatus(0);
    }
    SetEvent(serviceThreadDone);
}

// Before the next child: the channel of the one that ended is closed, and
// a stop request from now on is kept for the next one (the restart delay
// watches for it too).
void detachShutdownChannel() {
    Locked lock;
    if (shutdownChannel.attached && !shutdownChannel.closed) channelOps.close(shutdownChannel.handle);
    bool pending = shutdownChannel.pending;
    int pendingCode = shutdownChannel.pendingCode;
    shutdownChannel = ShutdownChannel();
    shutdownChannel.pending = pending;
    shutdownChannel.pendingCode = pendingCode;
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

// Bounds on waiting for the drain after the child's end. Before a restart
// the processes the child left have just been ended, so their pipe closes
// at once; after a stop they may still hold it, and the stop must not wait
// long for them.
constexpr DWORD kDrainWaitMilliseconds = 5000;
constexpr DWORD kDrainWaitAfterStopMilliseconds = 1000;

// Runs children until one ends for good. Returns only when a child cannot
// be started (the failure has then been reported).
void superviseChildren() {
    RestartPolicy policy = readRestartPolicy();
    RestartCounter counter;
    for (bool first = true;; first = false) {
        if (!first && stopRequested()) {
            serviceLogf("stop requested during the restart delay; the application is not started again");
            finishService(0, false);
        }
        ChildRun run;
        char reason[kLongCapacity + 128];
        if (!startChildRun(run, reason, sizeof reason)) {
            finishWithoutChild(reason);
            return;
        }
        if (first) {
            logLine(L"registering ConsoleCtrlHandler");
            SetConsoleCtrlHandler(ignoreConsoleEvents, TRUE);
        }
        bool forced = waitForChild(run.process, run.job);
        DWORD exitCode = childExitCode(run);
        if (forced || stopRequested()) {
            finishDrain(run, kDrainWaitAfterStopMilliseconds);
            serviceLogf("the application ended with exit code %u after the stop request",
                        static_cast<unsigned>(exitCode));
            closeChildRun(run);
            finishService(exitCode, forced);
        }
        uint32_t ran = GetTickCount() - run.startTick;
        RestartDecision decision = decideAfterChild(policy, counter, exitCode, ran);
        // What the child left running would hold its pipe, its ports and
        // files: a restart starts from nothing, as the first start did.
        if (decision.action == AfterChild::Restart && run.job) TerminateJobObject(run.job, kForcedChildExitCode);
        std::string last = finishDrain(run, kDrainWaitMilliseconds);
        closeChildRun(run);
        if (decision.action == AfterChild::Restart) detachShutdownChannel();
        // Written once nothing of the child is held any more.
        char line[1024];
        formatRestartLine(line, sizeof line, policy, decision, exitCode, last.c_str());
        logLine(L"%S", line);
        serviceLogf("%s", line);
        if (decision.action != AfterChild::Restart) {
            if (decision.action == AfterChild::GiveUp) reportFailureEvent(line);
            finishService(exitCode, false);
        }
        if (WaitForSingleObject(serviceStopRequested, decision.delayMs) == WAIT_OBJECT_0) {
            serviceLogf("stop requested during the restart delay; the application is not started again");
            finishService(0, false);
        }
    }
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
    openServiceLog();
    serviceLogf("service '%s' started (process %u)", serviceName, static_cast<unsigned>(GetCurrentProcessId()));
    char reason[kLongCapacity + 128];
    if (!buildCommandLine(argc, argv, reason, sizeof reason)) {
        finishWithoutChild(reason);
        return;
    }
    superviseChildren();
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
        ++serviceControlsInFlight;
        outcome = applyControlRequest(serviceStatus, control);
        reportStatus(outcome.reportNumber);
        if (outcome.sendShutdown && WaitForSingleObject(serviceStopRequested, 0) != WAIT_OBJECT_0) {
            // Logged before the service thread can wake to it, so the log
            // reads in the order things happened.
            serviceLogf(control == kControlShutdown ? "system shutdown: stopping the application"
                                                    : "stop requested: stopping the application");
            serviceStopRequestTick = GetTickCount();
            SetEvent(serviceStopRequested);
        }
    }
    if (outcome.sendShutdown) sendShutdown(0);
    Locked lock;
    --serviceControlsInFlight;
    serviceLastControlTick = GetTickCount();
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

BOOL WINAPI ignoreConsoleEvents(DWORD) {
    logLine(L"ConsoleCtrlHandler event");
    return TRUE;
}
