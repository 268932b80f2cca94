// The process-wide values of Windows types, in the order of core/state.h
// (which holds the rest, and says what "who writes it" means here).
#pragma once

#include <windows.h>

#include <cstdio>

#include "core/state.h"
#include "core/user32_win.h"
#include "jvm/search.h"

// --- The single-instance guard (instance/guard_win.cpp checkSingleInstance).
extern HANDLE instanceSemaphore;  // held until the process ends; its existence is the mark

// --- The runtime search (jvm/search_win.cpp LoadDLL, once at start): the
// current candidate and, once one loaded, its module.
constexpr size_t kSearchVersionCapacity = 2000;
struct SearchResult {
    char javaExe[kPathCapacity] = "";
    char version[kSearchVersionCapacity] = "";
    SearchOutcome outcome;
    HMODULE module = nullptr;
};
extern SearchResult searchResult;

// --- Class-data sharing (launch/sharing_win.cpp appendSharingOptions).
extern HANDLE sharingWriterLock;  // held until the process ends when this start writes the archive

// --- The service process (service/runtime_win.cpp).
extern CRITICAL_SECTION serviceLock;           // keeps each change of the record together with its report
extern SERVICE_STATUS_HANDLE serviceStatusHandle;  // from RegisterServiceCtrlHandler, in serviceMain
extern HANDLE serviceStopRequested;            // set by the handler at the first stop or shutdown request
extern DWORD serviceStopRequestTick;           // ... with the tick it came at
extern HANDLE serviceThreadDone;               // set when serviceMain is about to return
extern LONG serviceControlsInFlight;           // control handler calls not yet returned (under serviceLock)
extern DWORD serviceLastControlTick;           // ... and the tick the last one returned at
extern CRITICAL_SECTION serviceLogLock;        // one line at a time into the service log (openServiceLog)
extern HANDLE serviceLogFile;                  // the open service log, or INVALID_HANDLE_VALUE

// --- The log (core/log_win.cpp).
extern CRITICAL_SECTION logLock;  // one lock for all threads, created on first use
extern LONG logLockState;         // 0 none, 1 being created, 2 ready
extern HANDLE logFile;            // the open log file, between the open and close of one line

// --- The windowed stub's output (core/console_win.cpp
// attachOutputToParentConsole, before a command prints its first line):
// streams on the console of the process that started it, when it had to
// attach to that console; null otherwise.
extern FILE* parentConsoleOutput;
extern FILE* parentConsoleError;

// --- user32.dll (core/user32_win.cpp loadUser32, the first time a window is needed).
extern User32 user32Functions;
extern bool user32Loaded;
