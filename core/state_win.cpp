// Definitions of the values core/state_win.h declares.
#include "core/state_win.h"

HANDLE instanceSemaphore = nullptr;

SearchResult searchResult;

HANDLE sharingWriterLock = nullptr;

CRITICAL_SECTION serviceLock;
SERVICE_STATUS_HANDLE serviceStatusHandle = nullptr;
HANDLE serviceStopRequested = nullptr;
DWORD serviceStopRequestTick = 0;
HANDLE serviceThreadDone = nullptr;
LONG serviceControlsInFlight = 0;
DWORD serviceLastControlTick = 0;
CRITICAL_SECTION serviceLogLock;
HANDLE serviceLogFile = INVALID_HANDLE_VALUE;

CRITICAL_SECTION logLock;
LONG logLockState = 0;
HANDLE logFile = INVALID_HANDLE_VALUE;

FILE* parentConsoleOutput = nullptr;
FILE* parentConsoleError = nullptr;

User32 user32Functions;
bool user32Loaded = false;
