#include "core/console_win.h"

#include <fcntl.h>
#include <io.h>

#include "core/state_win.h"

namespace {

bool leadsSomewhere(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// A text-mode stream on the console this process is attached to. The C
// runtime's own stdout cannot be reopened there everywhere (freopen of a
// stream that never had a handle fails under Wine), so the lines go to a
// stream of their own.
FILE* consoleStream() {
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (screen == INVALID_HANDLE_VALUE) return nullptr;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(screen), _O_TEXT);
    if (descriptor < 0) {
        CloseHandle(screen);
        return nullptr;
    }
    FILE* stream = _fdopen(descriptor, "w");
    if (!stream) _close(descriptor);
    return stream;
}

}  // namespace

bool runsWindowed() {
    const unsigned char* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

DWORD consoleChildFlags() { return runsWindowed() ? CREATE_NO_WINDOW : 0; }

void attachOutputToParentConsole() {
    if (!runsWindowed() || parentConsoleOutput || parentConsoleError) return;
    bool output = leadsSomewhere(STD_OUTPUT_HANDLE), error = leadsSomewhere(STD_ERROR_HANDLE);
    if (output && error) return;
    // Fails when the parent has no console: then nothing is written.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!output) parentConsoleOutput = consoleStream();
    if (!error) parentConsoleError = consoleStream();
}

FILE* standardOutput() { return parentConsoleOutput ? parentConsoleOutput : stdout; }

FILE* standardError() { return parentConsoleError ? parentConsoleError : stderr; }
