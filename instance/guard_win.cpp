// One running instance per launcher path, through a named semaphore that
// only marks existence: nothing waits on it or releases it.
#include <windows.h>

#include <cstdlib>

#include "config/keys.h"
#include "config/store.h"
#include "core/launch.h"
#include "core/log.h"
#include "core/state.h"
#include "core/state_win.h"
#include "core/user32_win.h"
#include "files/paths.h"
#include "instance/guard_win.h"


namespace {

const char kPidsKey[] = "SOFTWARE\\brevane\\morlin\\pids\\";


// Absolute, lower-cased and with single backslashes, so every spelling of
// the path names the same instance.
void canonicalLauncherPath(char* output) { absolutePath(output, kPathCapacity, getModulePath(), false); }

// CreateSemaphoreA leaves the last error alone when it makes a new object.
HANDLE createSemaphore(const char* name, DWORD* error) {
    SetLastError(ERROR_SUCCESS);
    HANDLE h = CreateSemaphoreA(nullptr, 1, 1, name);
    *error = GetLastError();
    return h;
}

void logSemaphore(DWORD error, HANDLE h) {
    logLine(L"semaphore name %S, code %d, value %p", semaphoreName, static_cast<int>(error), h);
}

[[noreturn]] void yieldToFirstInstance() {
    DWORD pid = readInstancePid();
    // The first instance may not have recorded its id yet.
    for (int retry = 0; pid == 0 && retry < 50; ++retry) {
        Sleep(100);
        pid = readInstancePid();
    }
    logLine(L"other pid %d", static_cast<int>(pid));
    if (pid != 0 && getConfigInt(key::BringToFront) != 0) bringWindowsToFront(pid, true);
    logLine(L"exiting");
    exitProcessWithCleanup(0);
}

void takeNumberedName(bool global, const char* canonical) {
    int number = 0;
    DWORD error = 0;
    buildSemaphoreName(semaphoreName, kPathCapacity, global, canonical, number);
    HANDLE h = createSemaphore(semaphoreName, &error);
    while (error == ERROR_ALREADY_EXISTS && number < kLastSemaphoreNumber) {
        if (h) CloseHandle(h);
        ++number;
        buildSemaphoreName(semaphoreName, kPathCapacity, global, canonical, number);
        h = createSemaphore(semaphoreName, &error);
    }
    instanceSemaphore = h;
    logSemaphore(error, h);
}

struct FrontRequest {
    const User32* user32;
    DWORD processId;
    bool restore;
};

BOOL CALLBACK bringOneToFront(HWND window, LPARAM parameter) {
    const FrontRequest* request = reinterpret_cast<const FrontRequest*>(parameter);
    const User32* user32 = request->user32;
    DWORD owner = 0;
    if (!user32->isWindowVisible(window)) return TRUE;
    user32->getWindowThreadProcessId(window, &owner);
    if (owner != request->processId) return TRUE;
    logLine(L"found window %p", window);
    if (request->restore && user32->isIconic(window)) {
        logLine(L"restore");
        user32->showWindow(window, SW_RESTORE);
    }
    logLine(L"foreground");
    user32->setForegroundWindow(window);
    logLine(L"popup");
    user32->setForegroundWindow(user32->getLastActivePopup(window));
    logLine(L"done");
    return TRUE;
}

}  // namespace

void writeInstancePid() {
    char canonical[kPathCapacity];
    canonicalLauncherPath(canonical);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD pid = GetCurrentProcessId();
    RegSetValueExA(key, canonical, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid), sizeof pid);
    RegCloseKey(key);
}

DWORD readInstancePid() {
    char canonical[kPathCapacity];
    canonicalLauncherPath(canonical);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPidsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD pid = 0, size = sizeof pid;
    LONG status = RegQueryValueExA(key, canonical, nullptr, nullptr, reinterpret_cast<BYTE*>(&pid), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size == sizeof pid ? pid : 0;
}

void bringWindowsToFront(DWORD processId, bool restore) {
    const User32* user32 = loadUser32();
    if (!user32) return;
    FrontRequest request = {user32, processId, restore};
    user32->enumWindows(bringOneToFront, reinterpret_cast<LPARAM>(&request));
}

void checkSingleInstance() {
    // Allocated once and never freed: the launch passes it to the VM.
    if (!semaphoreName) semaphoreName = static_cast<char*>(calloc(kPathCapacity, 1));
    if (!semaphoreName) return;
    char canonical[kPathCapacity];
    canonicalLauncherPath(canonical);
    bool global = getConfigInt(key::GlobalSemaphore) != 0;

    if (getConfigInt(key::SingleInstance) == 0) {
        takeNumberedName(global, canonical);
        return;
    }
    logLine(L"single instance mode");
    buildSemaphoreName(semaphoreName, kPathCapacity, global, canonical, -1);
    DWORD error = 0;
    HANDLE h = createSemaphore(semaphoreName, &error);
    logSemaphore(error, h);
    if (error != ERROR_ALREADY_EXISTS) {
        instanceSemaphore = h;
        writeInstancePid();
        return;
    }
    if (h) CloseHandle(h);
    yieldToFirstInstance();
}
