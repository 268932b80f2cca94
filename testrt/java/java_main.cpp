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
//
// Without the file the defaults above apply. Each run appends its command
// line, as one UTF-8 line, to the record file, so tests can tell a cached
// version from a fresh run.
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

}  // namespace

int main() {
    std::wstring folder = moduleFolder(nullptr);
    JavaSettings settings = loadJavaSettings(folder);
    std::wstring record = isAbsolute(settings.record) ? settings.record : folder + L"\\" + settings.record;
    if (!appendToFile(record, toUtf8(GetCommandLineW()) + "\n"))
        failTestRuntime("cannot append to " + toUtf8(record), 96);
    if (!settings.versionLine.empty()) writeTo(STD_ERROR_HANDLE, settings.versionLine + "\r\n");
    writeTo(STD_OUTPUT_HANDLE, settings.stdoutText);
    if (settings.delayMs > 0) Sleep(static_cast<DWORD>(settings.delayMs));
    ExitProcess(static_cast<UINT>(settings.exitCode));
}
