// Test stand-in for a runtime's java.exe (and javaw.exe, the same program
// under the other name). It does what the launcher's version check relies
// on and nothing else: it records its command line, writes one configured
// line to standard error, waits if told to, and exits with the configured
// code. Settings come from testrt-java.ini beside the program:
//
//   version_line = java version "1.8.0_121"   first stderr line; empty: none
//   exit_code    = 0
//   delay_ms     = 0                           sleep before exiting (a hang)
//   stdout_text  =                             optional text for stdout
//   record       = ..\java-runs.log            record file, relative to the program
//   line_end     = \r\n                         written after the version line
//
// Without the file the defaults above apply. Each run appends its command
// line, as one UTF-8 line, to the record file, so tests can tell a cached
// version from a fresh run. As a real runtime does, it first writes one
// notice line for each of JDK_JAVA_OPTIONS ("NOTE: Picked up ..."),
// JAVA_TOOL_OPTIONS and _JAVA_OPTIONS ("Picked up ...") that is set.
#include <windows.h>

#include <string>
#include <vector>

#include "testrt/support/settings.h"

namespace {

struct JavaSettings {
    std::string versionLine = "java version \"1.8.0_121\"";
    long long exitCode = 0;
    long long delayMs = 0;
    std::string stdoutText;
    std::wstring record = L"..\\java-runs.log";
    std::string lineEnd = "\r\n";
};

JavaSettings loadJavaSettings(const std::wstring& folder) {
    JavaSettings result;
    std::vector<Setting> settings;
    std::string error;
    bool missing = false;
    std::wstring path = folder + L"\\testrt-java.ini";
    if (!readSettings(path, settings, error, missing)) {
        if (missing) return result;
        failTestRuntime(error, 96);
    }
    for (const Setting& s : settings) {
        std::string value = unescapeValue(s.value);
        bool ok = true;
        if (s.key == "version_line") result.versionLine = value;
        else if (s.key == "exit_code") ok = parseInteger(value, result.exitCode);
        else if (s.key == "delay_ms") ok = parseInteger(value, result.delayMs) && result.delayMs >= 0;
        else if (s.key == "stdout_text") result.stdoutText = value;
        else if (s.key == "record") result.record = fromUtf8(value);
        else if (s.key == "line_end") result.lineEnd = value;
        else failTestRuntime(toUtf8(path) + ":" + std::to_string(s.line) + ": unknown key " + s.key, 96);
        if (!ok) failTestRuntime(toUtf8(path) + ":" + std::to_string(s.line) + ": bad value for " + s.key, 96);
    }
    return result;
}

bool isAbsolute(const std::wstring& path) {
    return (path.size() > 1 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

void writeTo(DWORD which, const std::string& text) {
    HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The notices a real runtime writes before anything else, in its order.
void writeOptionNotices() {
    static const struct {
        const char* name;
        const char* format;
    } notices[] = {{"JDK_JAVA_OPTIONS", "NOTE: Picked up JDK_JAVA_OPTIONS: "},
                   {"JAVA_TOOL_OPTIONS", "Picked up JAVA_TOOL_OPTIONS: "},
                   {"_JAVA_OPTIONS", "Picked up _JAVA_OPTIONS: "}};
    for (const auto& notice : notices) {
        DWORD size = GetEnvironmentVariableA(notice.name, nullptr, 0);
        if (size == 0) continue;
        std::vector<char> value(size);
        DWORD n = GetEnvironmentVariableA(notice.name, value.data(), size);
        if (n == 0 || n >= size) continue;
        writeTo(STD_ERROR_HANDLE, std::string(notice.format) + std::string(value.data(), n) + "\r\n");
    }
}

}  // namespace

int main() {
    std::wstring folder = moduleFolder(nullptr);
    JavaSettings settings = loadJavaSettings(folder);
    std::wstring record = isAbsolute(settings.record) ? settings.record : folder + L"\\" + settings.record;
    if (!appendToFile(record, toUtf8(GetCommandLineW()) + "\n"))
        failTestRuntime("cannot append to " + toUtf8(record), 96);
    writeOptionNotices();
    if (!settings.versionLine.empty()) writeTo(STD_ERROR_HANDLE, settings.versionLine + settings.lineEnd);
    writeTo(STD_OUTPUT_HANDLE, settings.stdoutText);
    if (settings.delayMs > 0) Sleep(static_cast<DWORD>(settings.delayMs));
    ExitProcess(static_cast<UINT>(settings.exitCode));
}
