// The single-instance guard and the per-process semaphore name.
#pragma once

#include <cstddef>

// Null until the guard has run.
extern char* semaphoreName;

// Returns when this process is to run; a second instance ends inside.
void checkSingleInstance();

// Portable: "Global\" or "Local\", the canonical launcher path with every
// backslash and space turned into an underscore, then the number in
// decimal unless it is negative. False when the name was cut to cap.
bool buildSemaphoreName(char* output, size_t cap, bool global, const char* canonicalPath, int number);

// Numbered names are tried from 0 up to and including this number.
constexpr int kLastSemaphoreNumber = 100000;

#ifdef _WIN32
#include <windows.h>

// The instance registry value of this launcher path: the process id of the
// first instance, under HKEY_CURRENT_USER.
void writeInstancePid();
// 0 when the value is missing or not 4 bytes long.
DWORD readInstancePid();
// Activates every visible top-level window of the process; restore
// un-minimizes a minimized one first.
void bringWindowsToFront(DWORD processId, bool restore);
#endif
