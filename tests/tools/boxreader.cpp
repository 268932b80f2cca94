// Test tool: waits for a message box (dialog class "#32770") of another
// process, prints "caption|text" on standard output and closes it with OK.
// Exits 1 when no box appears within the given milliseconds.
//
//   boxreader.exe [TIMEOUT_MS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Found {
    HWND box = nullptr;
    std::wstring text;
};

BOOL CALLBACK findText(HWND child, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    wchar_t cls[64];
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        wchar_t text[8192];
        int n = GetWindowTextW(child, text, 8192);
        if (n > 0 && found->text.empty()) found->text.assign(text, static_cast<size_t>(n));
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND window, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    wchar_t cls[64];
    GetClassNameW(window, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        found->box = window;
        return FALSE;
    }
    return TRUE;
}

void printUtf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    fwrite(out.c_str(), 1, strlen(out.c_str()), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    DWORD timeout = argc > 1 ? static_cast<DWORD>(atol(argv[1])) : 20000;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
        Found found;
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&found));
        if (found.box) {
            Sleep(200);  // let the box finish laying out its text
            EnumChildWindows(found.box, findText, reinterpret_cast<LPARAM>(&found));
            wchar_t caption[1024];
            GetWindowTextW(found.box, caption, 1024);
            printUtf8(std::wstring(caption) + L"|" + found.text + L"\n");
            fflush(stdout);
            PostMessageW(found.box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
