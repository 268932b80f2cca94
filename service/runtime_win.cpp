#include "core/log.h"
#include "service/runtime.h"

// Placeholder until the service runtime lands.
void WINAPI serviceMain(DWORD, LPSTR*) {}

BOOL WINAPI ignoreConsoleEvents(DWORD) {
    logLine(L"ConsoleCtrlHandler event");
    return TRUE;
}
