// The service process: status reports, the service child and the stop protocol.
#pragma once

#ifdef _WIN32
#include <windows.h>
void WINAPI serviceMain(DWORD argc, LPSTR* argv);
BOOL WINAPI ignoreConsoleEvents(DWORD event);
#endif
