// The declarations of service/runtime.h that take Windows types.
#pragma once

#include <windows.h>

#include "service/runtime.h"

// The SCM's entry for the service; ends the process once the child has ended.
void WINAPI serviceMain(DWORD argc, LPSTR* argv);
// Stop, shutdown and every other control, on the dispatcher's thread.
void WINAPI serviceControlHandler(DWORD control);
// Writes "%d\n" with the low byte of the code to the child and closes its input.
void sendShutdown(int code);
// Creation flags for the child from HKLM "SOFTWARE\brevane\morlin\priority".
DWORD readServicePriority();
// Thread procedure: reads and discards the child's output until it ends.
DWORD WINAPI drainChildOutput(LPVOID readHandle);
BOOL WINAPI ignoreConsoleEvents(DWORD event);
// After the dispatcher has returned: gives the service thread the moment it
// needs to end the process itself (bounded).
void awaitServiceThread();
