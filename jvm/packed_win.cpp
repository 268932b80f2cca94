// A runtime shipped with its class libraries as "*.jar.pack" files is
// turned back into jar files with its own unpack200.exe before it is tested.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "config/keys.h"
#include "core/bounded.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "jvm/packed.h"

namespace {

constexpr size_t kPackSuffixLength = 5;  // ".pack"

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
    char commandLine[2 * kPathCapacity + 16];
    if (!formatText(application, kPathCapacity, "%s\\bin\\unpack200.exe", home) ||
        !formatText(commandLine, sizeof commandLine, "-r \"%s\" \"%s\"", packPath, jarPath))
        return;
    logLine(L"%S", application);
    logLine(L"%S", commandLine);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(application, commandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        logLine(L"could not create unpack process");
        fatalMessage(msg::InternalError, L"20");
    }
    logLine(L"waiting for unpack200 to finish");
    WaitForSingleObject(process.hProcess, INFINITE);
    logLine(L"unpack done");
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!DeleteFileA(packPath)) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) logLine(L"could not delete packed file (error %d)", static_cast<int>(error));
    }
}

void unpackJarsIn(const char* home, const char* subdirectory, bool& started) {
    char pattern[kPathCapacity];
    if (!formatText(pattern, kPathCapacity, "%s\\%s\\*.jar.pack", home, subdirectory)) return;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
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
    } while (FindNextFileA(search, &data));
    FindClose(search);
}

}  // namespace

void preparePackedJre(const char* home) {
    bool started = false;
    unpackJarsIn(home, "lib", started);
    unpackJarsIn(home, "lib\\ext", started);
    if (started) logLine(L"Unpacking JRE done");
}
