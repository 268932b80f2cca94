// The diagnostic log file: UTF-8 with a byte-order mark, CR LF line ends,
// one lock for all threads, and the file closed after every line so each
// line is on disk when the call returns.
#include <windows.h>

#include <cstdarg>
#include <ctime>

#include "base/bounded.h"
#include "base/environment_win.h"
#include "base/text_win.h"
#include "core/log.h"
#include "core/state.h"
#include "core/state_win.h"
#include "files/temp.h"

namespace {


void acquireLock() {
    // Created on first use; the first call happens on the main thread
    // before any other thread exists, but be safe if it does not.
    if (InterlockedCompareExchange(&logLockState, 1, 0) == 0) {
        InitializeCriticalSection(&logLock);
        InterlockedExchange(&logLockState, 2);
    }
    while (InterlockedCompareExchange(&logLockState, 2, 2) != 2) Sleep(0);
    EnterCriticalSection(&logLock);
}

HANDLE openForAppend(const wchar_t* path) {
    return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// CREATE_NEW for a numbered file, so that two starts at the same moment
// never both take the same free number (the later one would empty the
// earlier one's log); CREATE_ALWAYS for the last number and the fallback.
HANDLE createTruncated(const wchar_t* path, DWORD disposition = CREATE_ALWAYS) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        static const unsigned char bom[3] = {0xEF, 0xBB, 0xBF};
        DWORD written = 0;
        WriteFile(h, bom, 3, &written, nullptr);
    }
    return h;
}

// Writes wide text as UTF-8, turning each "\n" into CR LF.
void writeText(const wchar_t* text) {
    if (logFile == INVALID_HANDLE_VALUE) return;
    static char utf8[4 * kPathCapacity + 16];
    wchar_t chunk[1024];
    const wchar_t* p = text;
    while (*p) {
        size_t n = 0;
        while (*p && n + 2 < sizeof chunk / sizeof chunk[0]) {
            if (*p == L'\n') chunk[n++] = L'\r';
            chunk[n++] = *p++;
        }
        chunk[n] = 0;
        narrowTo(CP_UTF8, utf8, sizeof utf8, chunk, nullptr);
        size_t bytes = textLength(utf8, sizeof utf8);
        if (bytes > 0) {
            DWORD written = 0;
            WriteFile(logFile, utf8, static_cast<DWORD>(bytes), &written, nullptr);
        }
    }
}

void closeFile() {
    if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
}

bool variableIsYes(const char* name) {
    char value[kPathCapacity];
    return readEnvironmentA(name, value, sizeof value) == EnvironmentRead::Found && strcmp(value, "yes") == 0;
}

// The C runtime's ctime text: "Wed Jan 02 02:03:55 1980\n".
void currentTimeText(char* buffer, size_t cap) {
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME t;
    GetLocalTime(&t);
    formatText(buffer, cap, "%s %s %2d %02d:%02d:%02d %d\n", days[t.wDayOfWeek % 7], months[(t.wMonth + 11) % 12],
               t.wDay, t.wHour, t.wMinute, t.wSecond, t.wYear);
}

void prepare() {
    if (haveLogPath && logFile == INVALID_HANDLE_VALUE) logFile = openForAppend(logPath);
    if (logInitialised) return;
    logInitialised = true;
    if (!variableIsYes("MORLIN_LOG") && !variableIsYes("VANTREL_LOG")) return;

    wchar_t directory[kPathCapacity];
    getTempBaseW(directory, kPathCapacity, false);
    if (directory[0] && !endsWithCharW(directory, L'\\') && !endsWithCharW(directory, L'/'))
        appendTextW(directory, kPathCapacity, L"\\");
    if (!directory[0]) copyTextW(directory, kPathCapacity, L"c:\\");

    for (int i = 1; i <= 1000; ++i) {
        formatTextW(logPath, kPathCapacity, L"%svtl_nlog_%d.log", directory, i);
        if (i == 1000) {
            logFile = createTruncated(logPath);
            break;
        }
        if (GetFileAttributesW(logPath) != INVALID_FILE_ATTRIBUTES) continue;
        logFile = createTruncated(logPath, CREATE_NEW);
        // Taken by another start since the look: the next number.
        if (logFile != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
    }
    haveLogPath = true;
    if (logFile == INVALID_HANDLE_VALUE) {
        copyTextW(logPath, kPathCapacity, L"c:\\vtl_nlog");
        logFile = createTruncated(logPath);
    }
    if (logFile == INVALID_HANDLE_VALUE) return;

    wchar_t module[kPathCapacity];
    DWORD n = GetModuleFileNameW(nullptr, module, kPathCapacity);
    if (n >= kPathCapacity) n = kPathCapacity - 1;
    module[n] = 0;
    char when[64];
    currentTimeText(when, sizeof when);
    wchar_t header[kPathCapacity + 128];
    formatTextW(header, sizeof header / sizeof header[0], L"Started executable %s at %S\n", module, when);
    writeText(header);
}

void writeLine(const wchar_t* prefix, const wchar_t* format, va_list args) {
    acquireLock();
    prepare();
    if (logFile != INVALID_HANDLE_VALUE) {
        static wchar_t line[4 * kPathCapacity];
        copyTextW(line, sizeof line / sizeof line[0], prefix);
        size_t used = textLengthW(line, sizeof line / sizeof line[0]);
        // Keep room for the line end even when the message is cut.
        vformatTextW(line + used, sizeof line / sizeof line[0] - used - 1, format, args);
        appendTextW(line, sizeof line / sizeof line[0], L"\n");
        writeText(line);
        closeFile();
    }
    LeaveCriticalSection(&logLock);
}

}  // namespace

void logLine(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(L"", format, args);
    va_end(args);
}

void logError(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(L"ERROR: ", format, args);
    va_end(args);
}

const wchar_t* logFilePath() {
    acquireLock();
    prepare();
    const wchar_t* result = haveLogPath ? logPath : nullptr;
    LeaveCriticalSection(&logLock);
    return result;
}
