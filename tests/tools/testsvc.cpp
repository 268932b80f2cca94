// Test tool: a minimal service. It reports running and, on a stop request,
// reports stop-pending for a number of steps before it reports stopped.
//
//   testsvc.exe [STEPS [STEP_MS [WAIT_HINT_MS]]]
//
// With STEPS > 1 the check point advances once per step; with STEPS = 1 it
// stays put for STEP_MS, which lets a waiting stop command give up after
// one wait hint.
#include <windows.h>

#include <cstdlib>

namespace {

SERVICE_STATUS_HANDLE statusHandle;
HANDLE stopEvent;
DWORD steps = 0;
DWORD stepMilliseconds = 0;
DWORD waitHint = 0;

void report(DWORD state, DWORD checkPoint, DWORD hint) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = hint;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        // Report stop-pending before returning, so the stop command sees
        // it in its first status query.
        if (steps > 0) report(SERVICE_STOP_PENDING, 1, waitHint);
        SetEvent(stopEvent);
    }
    return NO_ERROR;
}

void WINAPI serviceEntry(DWORD, LPSTR* argv) {
    statusHandle = RegisterServiceCtrlHandlerExA(argv[0], handler, nullptr);
    if (!statusHandle) return;
    report(SERVICE_RUNNING, 0, 0);
    WaitForSingleObject(stopEvent, INFINITE);
    for (DWORD step = 1; step <= steps; ++step) {
        report(SERVICE_STOP_PENDING, step, waitHint);
        Sleep(stepMilliseconds);
    }
    report(SERVICE_STOPPED, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    steps = argc > 1 ? static_cast<DWORD>(atol(argv[1])) : 0;
    stepMilliseconds = argc > 2 ? static_cast<DWORD>(atol(argv[2])) : 0;
    waitHint = argc > 3 ? static_cast<DWORD>(atol(argv[3])) : 0;
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, serviceEntry}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
