// Learning a runtime's version by running its java executable with
// "-version", its standard error going to a temporary file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/bounded.h"
#include "core/console_win.h"
#include "core/log.h"
#include "core/state.h"
#include "files/temp.h"
#include "jvm/javacheck_win.h"

namespace {

constexpr DWORD kVersionRunLimitMs = 60000;

// The short form keeps the command line free of blanks. Where the volume
// has no short names the long form comes back; it is quoted then if it
// holds a blank, so the child still receives the whole path.
bool versionCommandLine(const char* javaExe, char* commandLine, size_t cap) {
    char shortPath[kPathCapacity];
    DWORD n = GetShortPathNameA(javaExe, shortPath, kPathCapacity);
    const char* program = n > 0 && n < kPathCapacity ? shortPath : javaExe;
    const char* format = strchr(program, ' ') ? "\"%s\" -version" : "%s -version";
    return formatText(commandLine, cap, format, program);
}

// The temporary file as an inheritable handle, or null.
HANDLE createErrorFile(const char* name) {
    HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE inheritable = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &inheritable, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        inheritable = nullptr;
    CloseHandle(file);
    return inheritable;
}

// Notice lines may come before the version line, each as long as the
// variable it reports; the output is read up to this many bytes.
constexpr size_t kVersionOutputLimit = 128 * 1024;

bool readVersionFile(const char* name, char* version, size_t cap) {
    FILE* file = fopen(name, "rt");
    if (!file) return false;
    std::vector<char> output(kVersionOutputLimit + 1);
    size_t got = fread(output.data(), 1, kVersionOutputLimit, file);
    output[got] = 0;
    fclose(file);
    bool found = parseVersionOutput(output.data(), version, cap);
    if (found) logLine(L"Java version: %S", version);
    return found;
}

}  // namespace

bool runJavaVersion(const char* javaExe, const FILETIME& lastWrite, char* version, size_t cap) {
    char commandLine[kPathCapacity + 16];
    if (!versionCommandLine(javaExe, commandLine, sizeof commandLine)) return false;
    char tempName[kPathCapacity];
    makeTempFileName(tempName, kPathCapacity);
    HANDLE errorFile = createErrorFile(tempName);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdError = errorFile;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | consoleChildFlags(),
                        nullptr, nullptr, &startup, &process)) {
        logLine(L"Could not create process %S > %S (error %d)", commandLine, tempName,
                static_cast<int>(GetLastError()));
        if (errorFile) CloseHandle(errorFile);
        DeleteFileA(tempName);
        return false;
    }

    DWORD waited = WaitForSingleObject(process.hProcess, kVersionRunLimitMs);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = STILL_ACTIVE;
    logLine(L"Exit Code %d", static_cast<int>(exitCode));
    if (waited == WAIT_TIMEOUT || exitCode == STILL_ACTIVE) {
        // A hanging runtime is ended and not cached: it may answer next time.
        logLine(L"Terminating process");
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        if (exitCode == 0) exitCode = STILL_ACTIVE;
    } else if (exitCode != 0) {
        writeVersionCache(javaExe, lastWrite, "1.0.0");
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (errorFile) CloseHandle(errorFile);

    bool found = exitCode == 0 && readVersionFile(tempName, version, cap);
    DeleteFileA(tempName);
    return found;
}
