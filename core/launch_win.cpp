#include <windows.h>

#include <cstdio>

#include "base/bounded.h"
#include "base/text_win.h"
#include "config/block_reader_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/console_win.h"
#include "core/errors.h"
#include "core/launch.h"
#include "core/log.h"
#include "core/state.h"
#include "files/extract_win.h"
#include "files/paths.h"
#include "files/temp.h"
#include "instance/guard_win.h"
#include "jvm/search.h"
#include "launch/expand.h"
#include "launch/javavm.h"
#include "launch/nativepath.h"
#include "service/runtime_win.h"

void initLauncher() {
    tempDirectory[0] = 0;
    readConfigBlock();

    char family[2];
    getConfigString(key::LauncherFamily, family, sizeof family);
    launcherFamily = family[0];

    wchar_t workingDirectory[kPathCapacity];
    getConfigWide(key::WorkingDirectory, workingDirectory, kPathCapacity);
    if (workingDirectory[0]) {
        expandVariablesW(workingDirectory, kPathCapacity, true);
        wchar_t absolute[kPathCapacity];
        absolutePathW(absolute, kPathCapacity, workingDirectory, true, true);
        // A folder that cannot be entered does not stop the launch, but
        // the log must not claim the change happened.
        if (SetCurrentDirectoryW(absolute))
            logLine(L"change working directory to %s", absolute);
        else
            logError(L"could not change working directory to %s (error %d)", absolute,
                     static_cast<int>(GetLastError()));
    } else {
        logLine(L"working directory unchanged");
    }
}

void runLaunchSequence(ArgumentVector& arguments, bool ignoreConsole) {
    if (extractEmbeddedFiles(true) != 0) fatalInternalError(InternalError::EmbeddedFilesNotExtracted);
    setNativeLibraryPath();
    if (ignoreConsole) {
        logLine(L"registering ConsoleCtrlHandler");
        SetConsoleCtrlHandler(ignoreConsoleEvents, TRUE);
    }
    checkSingleInstance();
    if (!LoadDLL(true)) exitProcessWithCleanup(1);
    if (!launchApplication(arguments, true)) exitProcessWithCleanup(1);
}

void exitProcessWithCleanup(int code) {
    if (tempDirectory[0]) {
        emptyDirectory(tempDirectory, true);
        RemoveDirectoryA(tempDirectory);
    }
    ExitProcess(static_cast<UINT>(code));
}

namespace {

void writeUsage(FILE* stream) {
    wchar_t name[kPathCapacity];
    const wchar_t* path = getModulePathW();
    const wchar_t* slash = wcsrchr(path, L'\\');
    copyTextW(name, kPathCapacity, slash ? slash + 1 : path);
    wchar_t* dot = wcsrchr(name, L'.');
    if (dot) *dot = 0;
    wchar_t line[kPathCapacity + 128];
    formatTextW(line, sizeof line / sizeof line[0],
                L"Usage: %s.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\n", name);
    char narrow[4 * (kPathCapacity + 128)];
    narrowToOrUnits(CP_ACP, narrow, sizeof narrow, line);
    fputs(narrow, stream);
    fflush(stream);
}

}  // namespace

void printUsage() { writeUsage(standardOutput()); }

void printUsageToStandardError() { writeUsage(standardError()); }
