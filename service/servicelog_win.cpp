// The service log file: opened for appending and shared, so an
// administrator can read it while the service runs; one line per write, so
// lines from the drain threads, the service thread and the control handler
// never mix; rolled by size when the project asks for it.
#include "service/servicelog_win.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "base/bounded.h"
#include "base/text_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "core/state_win.h"
#include "files/paths.h"

namespace {

// After a failed open or write, the next attempt waits this long, so a
// read-only folder or a full disk costs no more than a call now and then.
constexpr DWORD kRetryMilliseconds = 5000;

class LogLock {
public:
    LogLock() { EnterCriticalSection(&serviceLogLock); }
    ~LogLock() { LeaveCriticalSection(&serviceLogLock); }
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;
};

class WindowsRollOps : public RollOps {
public:
    bool remove(const std::wstring& path) override { return DeleteFileW(path.c_str()) != 0; }
    bool rename(const std::wstring& from, const std::wstring& to) override {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
};

void closeLogFile() {
    if (serviceLogFile != INVALID_HANDLE_VALUE) CloseHandle(serviceLogFile);
    serviceLogFile = INVALID_HANDLE_VALUE;
}

void noteFailure(const wchar_t* what) {
    DWORD error = GetLastError();
    if (!serviceLogFailing)
        logError(L"could not %s the service log %s (error %d); its lines are dropped until it can be written", what,
                 serviceLogPath, static_cast<int>(error));
    serviceLogFailing = true;
    serviceLogRetryTick = GetTickCount();
    closeLogFile();
}

// The folders above the log, made once when the log is first opened (a
// folder that cannot be made shows as a failed open).
void makeParentFolders() {
    wchar_t folder[kPathCapacity];
    copyTextW(folder, kPathCapacity, serviceLogPath);
    if (textLengthW(folder, kPathCapacity) < 4) return;
    // From the third character on, so a drive ("C:\\") or the start of a
    // UNC name is never taken for a folder to make.
    for (wchar_t* p = folder + 3; *p; ++p) {
        if (*p != L'\\' && *p != L'/') continue;
        wchar_t separator = *p;
        *p = 0;
        CreateDirectoryW(folder, nullptr);
        *p = separator;
    }
}

// With the lock held.
bool ensureOpen() {
    if (serviceLogFile != INVALID_HANDLE_VALUE) return true;
    if (serviceLogFailing && GetTickCount() - serviceLogRetryTick < kRetryMilliseconds) return false;
    serviceLogFile = CreateFileW(serviceLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (serviceLogFile == INVALID_HANDLE_VALUE) {
        noteFailure(L"open");
        return false;
    }
    LARGE_INTEGER size = {};
    serviceLogSize = GetFileSizeEx(serviceLogFile, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    if (serviceLogFailing) logLine(L"the service log %s can be written again", serviceLogPath);
    serviceLogFailing = false;
    return true;
}

// With the lock held: rolls when this line would take the log past its
// size, so no file holds more than the limit (unless one line alone does).
void rollIfDue(size_t lineBytes) {
    if (!rollDue(serviceLogSize, lineBytes, serviceLogMaxSize)) return;
    closeLogFile();
    WindowsRollOps ops;
    rollLogFiles(serviceLogPath, serviceLogKeep, ops);
    ensureOpen();
}

void writeLocked(const char* tag, const char* text, size_t length) {
    if (!ensureOpen()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    LogTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    time.millisecond = now.wMilliseconds;
    char stamp[40];
    formatLogTime(stamp, sizeof stamp, time);
    std::string line;
    line.reserve(length + 64);
    line.append(stamp).append(" ").append(tag).append(" ");
    line.append(text, length);
    line.append("\r\n");
    rollIfDue(line.size());
    if (serviceLogFile == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!WriteFile(serviceLogFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        noteFailure(L"write");
        return;
    }
    serviceLogSize += written;
}

void readRolling() {
    char text[32];
    if (hasConfigValue(key::ServiceLogMaxSize)) {
        getConfigString(key::ServiceLogMaxSize, text, sizeof text);
        if (!parseByteCount(text, &serviceLogMaxSize))
            logError(L"config key %d holds \"%S\", not a size in bytes; the service log does not roll",
                     key::ServiceLogMaxSize, text);
    }
    if (hasConfigValue(key::ServiceLogKeep)) {
        getConfigString(key::ServiceLogKeep, text, sizeof text);
        int keep = getConfigInt(key::ServiceLogKeep);
        if (keep < 0 || keep > 999 || !text[0] || text[strspn(text, "0123456789")])
            logError(L"config key %d holds \"%S\", not a count from 0 to 999; keeping %u", key::ServiceLogKeep,
                     text, serviceLogKeep);
        else
            serviceLogKeep = static_cast<unsigned>(keep);
    }
}

}  // namespace

void openServiceLog() {
    InitializeCriticalSection(&serviceLogLock);
    serviceLogPath[0] = 0;
    char configured[kPathCapacity];
    getConfigString(key::ServiceLog, configured, kPathCapacity);
    if (serviceLogDisabled(configured)) {
        logLine(L"no service log: the application's output is discarded");
        return;
    }
    if (configured[0]) {
        wchar_t wide[kPathCapacity];
        widenFrom(CP_ACP, wide, kPathCapacity, configured);
        absolutePathW(serviceLogPath, kPathCapacity, wide, true, false);
    } else {
        copyTextW(serviceLogPath, kPathCapacity, defaultServiceLogPath(getModulePathW()).c_str());
    }
    readRolling();
    makeParentFolders();
    logLine(L"service log %s", serviceLogPath);
}

void writeServiceLogLine(const char* tag, const char* text, size_t length) {
    if (!serviceLogPath[0]) return;
    LogLock lock;
    writeLocked(tag, text, length);
}

void serviceLogf(const char* format, ...) {
    if (!serviceLogPath[0]) return;
    char text[kPathCapacity + 512];
    va_list args;
    va_start(args, format);
    vformatText(text, sizeof text, format, args);
    va_end(args);
    writeServiceLogLine(kServiceLogOwnTag, text, textLength(text, sizeof text));
}

namespace {

class LogSink : public LineSink {
public:
    void line(const char* text, size_t length) override { writeServiceLogLine(kServiceLogAppTag, text, length); }
};

}  // namespace

DWORD WINAPI drainChildOutput(LPVOID parameter) {
    auto* drain = static_cast<ChildOutputDrain*>(parameter);
    logLine(L"consuming output");
    char buffer[kPathCapacity];
    DWORD count = 0;
    LogSink sink;
    while (ReadFile(drain->readEnd, buffer, sizeof buffer, &count, nullptr) && count > 0)
        drain->lines.feed(buffer, count, sink);
    drain->lines.finish(sink);
    logLine(L"consuming output done");
    return 0;
}
