// The service log file of the service process (see service/servicelog.h).
// Every function may be called from any thread of the service process;
// none of them ever fails the service: a log that cannot be written is
// reported in the diagnostic log and tried again a little later.
#pragma once

#include <windows.h>

#include <cstddef>

#include "service/servicelog.h"

// Takes the log's place and rolling from the configuration. Called once in
// serviceMain before any line is written.
void openServiceLog();

// One line with the time stamp and the tag; text need not be terminated.
void writeServiceLogLine(const char* tag, const char* text, size_t length);

// One line of the service's own, formatted (narrow conventions of
// base/bounded.h).
void serviceLogf(const char* format, ...);

// The thread that reads what the child writes: each line goes to the
// service log (or nowhere, without one), the last one is kept for a
// failure's report.
struct ChildOutputDrain {
    HANDLE readEnd = nullptr;
    OutputLines lines;
};
DWORD WINAPI drainChildOutput(LPVOID drain);
