#include "tests/support/log_capture.h"

#include <algorithm>
#include <cstdarg>

#include "base/bounded.h"
#include "core/log.h"

std::vector<std::wstring>& capturedLog() {
    static std::vector<std::wstring> lines;
    return lines;
}

void clearCapturedLog() { capturedLog().clear(); }

bool logContains(const std::wstring& line) {
    const auto& lines = capturedLog();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

static void capture(const wchar_t* prefix, const wchar_t* format, va_list args) {
    wchar_t buffer[20000];
    vformatTextW(buffer, sizeof buffer / sizeof buffer[0], format, args);
    capturedLog().push_back(std::wstring(prefix) + buffer);
}

void logLine(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    capture(L"", format, args);
    va_end(args);
}

void logError(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    capture(L"ERROR: ", format, args);
    va_end(args);
}

const wchar_t* logFilePath() { return nullptr; }
