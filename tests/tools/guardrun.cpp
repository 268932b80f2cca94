// Test tool: the launcher's start-up and single-instance guard, kept alive
// afterwards. Packed with a block like the launcher, a first instance
// prints its semaphore name and process id, optionally opens windows, and
// runs until its standard input ends; a second instance ends inside the
// guard and prints nothing.
//
//   guardrun.exe [--windows]
// --windows opens three top-level windows: "normal" (visible), "minimized"
// (visible, minimized) and "hidden" (never shown). At the end each window's
// state is printed as "window NAME HANDLE iconic I visible V foreground F".
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/bounded.h"
#include "core/launch.h"
#include "core/state.h"
#include "instance/guard_win.h"

namespace {

DWORD mainThread = 0;

DWORD WINAPI waitForInput(LPVOID) {
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
    return 0;
}

HWND openWindow(const char* title, int show) {
    HWND w = CreateWindowExA(0, "guardrunwindow", title, WS_OVERLAPPEDWINDOW, 50, 50, 300, 200, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (w && show != SW_HIDE) ShowWindow(w, show);
    return w;
}

void printWindow(const char* name, HWND w) {
    char handle[64];
    formatText(handle, sizeof handle, "%p", w);
    printf("window %s %s iconic %d visible %d foreground %d\n", name, handle, IsIconic(w) ? 1 : 0,
           IsWindowVisible(w) ? 1 : 0, GetForegroundWindow() == w ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    initLauncher();
    checkSingleInstance();
    mainThread = GetCurrentThreadId();
    bool windows = argc > 1 && strcmp(argv[1], "--windows") == 0;
    HWND normal = nullptr, minimized = nullptr, hidden = nullptr;
    if (windows) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "guardrunwindow";
        RegisterClassA(&wc);
        hidden = openWindow("hidden", SW_HIDE);
        minimized = openWindow("minimized", SW_SHOWMINIMIZED);
        normal = openWindow("normal", SW_SHOWNORMAL);
    }
    printf("semaphore %s\n", semaphoreName ? semaphoreName : "(none)");
    printf("pid %lu\n", GetCurrentProcessId());
    if (windows) {
        printWindow("normal", normal);
        printWindow("minimized", minimized);
        printWindow("hidden", hidden);
    }
    printf("ready\n");
    fflush(stdout);

    // Windows of this process must answer cross-process calls (a restore
    // from a second instance waits for this thread), so pump messages.
    CreateThread(nullptr, 0, waitForInput, nullptr, 0, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (windows) {
        printWindow("normal", normal);
        printWindow("minimized", minimized);
        printWindow("hidden", hidden);
    }
    printf("end\n");
    fflush(stdout);
    return 0;
}
