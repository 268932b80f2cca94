// A runtime shipped with its class libraries as "*.jar.pack" files is
// turned back into jar files with its own unpack200.exe before it is tested.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "config/keys.h"
#include "core/console_win.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "jvm/packed.h"

namespace {

constexpr size_t kPackSuffixLength = 5;  // ".pack"
// A jar of the class libraries unpacks in seconds; a tool still busy after
// this long is taken to hang.
constexpr DWORD kUnpackLimitMs = 60000;

// Waits for the unpacker within the limit; false when it had to be ended.
bool waitForUnpacker(HANDLE process, DWORD* exitCode) {
    *exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process, kUnpackLimitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process, exitCode) &&
        *exitCode != STILL_ACTIVE)
        return true;
    logError(L"unpack200 did not finish within %d ms, terminating it", static_cast<int>(kUnpackLimitMs));
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return false;
}

// The pack file goes only once its jar is known to be whole: a failed or
// ended unpack leaves the pack for the next start and no partial jar that
// would make that start skip it.
void finishUnpack(const char* packPath, const char* jarPath, bool finished, DWORD exitCode) {
    if (finished && exitCode == 0 && pathExists(jarPath)) {
        if (!DeleteFileA(packPath)) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND)
                logLine(L"could not delete packed file (error %d)", static_cast<int>(error));
        }
        return;
    }
    if (pathExists(jarPath) && !DeleteFileA(jarPath))
        logError(L"could not delete partial jar %S (error %d)", jarPath, static_cast<int>(GetLastError()));
    logError(L"unpacking %S failed (exit code %d); the pack file is kept", packPath, static_cast<int>(exitCode));
}

void unpackJar(const char* home, const char* packPath) {
    char jarPath[kPathCapacity];
    size_t length = strlen(packPath);
    if (length < kPackSuffixLength || !copyTextN(jarPath, kPathCapacity, packPath, length - kPackSuffixLength))
        return;
    if (!pathExists(packPath)) {
        logLine(L"pack path doesn't exists");
        return;
    }
    char application[kPathCapacity];
    char commandLine[3 * kPathCapacity + 16];
    // The program name comes first so the tool sees "-r" as an option.
    if (!formatText(application, kPathCapacity, "%s\\bin\\unpack200.exe", home) ||
        !formatText(commandLine, sizeof commandLine, "\"%s\" -r \"%s\" \"%s\"", application, packPath, jarPath))
        return;
    logLine(L"%S", application);
    logLine(L"%S", commandLine);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(application, commandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | consoleChildFlags(),
                        nullptr, nullptr, &startup, &process)) {
        logLine(L"could not create unpack process");
        fatalInternalError(InternalError::UnpackNotStarted);
    }
    logLine(L"waiting for unpack200 to finish");
    DWORD exitCode = 0;
    bool finished = waitForUnpacker(process.hProcess, &exitCode);
    if (finished) logLine(L"unpack done");
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    finishUnpack(packPath, jarPath, finished, exitCode);
}

void unpackJarsIn(const char* home, const char* subdirectory, bool& started) {
    char pattern[kPathCapacity];
    if (!formatText(pattern, kPathCapacity, "%s\\%s\\*.jar.pack", home, subdirectory)) return;
    for (DirectoryWalk walk(pattern); walk.next();) {
        const WIN32_FIND_DATAA& data = walk.entry();
        int nameLength = static_cast<int>(strlen(data.cFileName)) - static_cast<int>(kPackSuffixLength);
        if (nameLength <= 0) continue;
        char jarPath[kPathCapacity];
        if (!formatText(jarPath, kPathCapacity, "%s\\%s\\%.*s", home, subdirectory, nameLength, data.cFileName))
            continue;
        logLine(L"checking %S", jarPath);
        if (pathExists(jarPath)) continue;
        if (!started) {
            logLine(L"Unpacking JRE");
            fputs("Preparing JRE ...\n", stdout);
            fflush(stdout);
            started = true;
        }
        char relativeJar[kPathCapacity];
        char packPath[kPathCapacity];
        if (!formatText(relativeJar, kPathCapacity, "%s\\%.*s", subdirectory, nameLength, data.cFileName) ||
            !formatText(packPath, kPathCapacity, "%s\\%s.pack", home, relativeJar))
            continue;
        unpackJar(home, packPath);
    }
}

}  // namespace

void preparePackedJre(const char* home) {
    bool started = false;
    unpackJarsIn(home, "lib", started);
    unpackJarsIn(home, "lib\\ext", started);
    if (started) logLine(L"Unpacking JRE done");
}
