// The declarations of service/runtime.h that take Windows types.
#pragma once

#include <windows.h>

#include "service/runtime.h"

// The SCM's entry for the service; ends the process once the service ends.
void WINAPI serviceMain(DWORD argc, LPSTR* argv);
// Stop, shutdown and every other control, on the dispatcher's thread.
void WINAPI serviceControlHandler(DWORD control);
// Writes "%d\n" with the low byte of the code to the child and closes its input.
void sendShutdown(int code);
// Creation flags for the child from HKLM "SOFTWARE\brevane\morlin\priority".
DWORD readServicePriority();
BOOL WINAPI ignoreConsoleEvents(DWORD event);
// After the dispatcher has returned: gives the service thread the moment it
// needs to end the process itself (bounded).
void awaitServiceThread();
// One error entry in the Application event log, under the service's name.
void reportFailureEvent(const char* text);
