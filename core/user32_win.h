#pragma once
// The few window functions the launcher needs, from a user32.dll loaded on
// first use. Most launches never show a window of their own, and loading
// user32 at process start is the most expensive thing a launcher can do
// before the VM starts (it sets up the window station; under Wine it costs
// as much as the whole rest of the launch).
#include <windows.h>

struct User32 {
    int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
    BOOL(WINAPI* enumWindows)(WNDENUMPROC, LPARAM);
    BOOL(WINAPI* isWindowVisible)(HWND);
    DWORD(WINAPI* getWindowThreadProcessId)(HWND, LPDWORD);
    BOOL(WINAPI* isIconic)(HWND);
    BOOL(WINAPI* showWindow)(HWND, int);
    BOOL(WINAPI* setForegroundWindow)(HWND);
    HWND(WINAPI* getLastActivePopup)(HWND);
    HWINSTA(WINAPI* getProcessWindowStation)();
    BOOL(WINAPI* getUserObjectInformation)(HANDLE, int, PVOID, DWORD, LPDWORD);
};

// Null when user32.dll or one of the functions cannot be found; callers
// then fall back to what works without a window.
const User32* loadUser32();
