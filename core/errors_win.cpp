#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/bounded.h"
#include "base/text_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/console_win.h"
#include "core/errors.h"
#include "core/launch.h"
#include "core/log.h"
#include "core/state.h"
#include "core/user32_win.h"

void setMessageBoxMode(bool on) { messageBoxesShown = on; }

namespace {

// Narrow output in the console's sense: the C runtime converts.
void writeStandardError(const wchar_t* text) {
    attachOutputToParentConsole();
    static char narrow[4 * (2 * kPathCapacity + 16)];
    narrowToOrUnits(GetConsoleOutputCP() ? GetConsoleOutputCP() : CP_ACP, narrow, sizeof narrow, text);
    fputs(narrow, standardError());
    fputc('\n', standardError());
    fflush(standardError());
}

// A service, and the child it starts, run on a window station that nobody
// sees: a box there would wait for ever for a click that cannot come.
bool windowStationVisible(const User32* user32) {
    HWINSTA station = user32->getProcessWindowStation();
    if (!station) return false;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!user32->getUserObjectInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

void showError(const wchar_t* text) {
    static wchar_t composed[2 * kPathCapacity + 16];
    const size_t cap = sizeof composed / sizeof composed[0];
    const wchar_t* path = logFilePath();
    if (path) {
        wchar_t longPath[kPathCapacity];
        DWORD n = GetLongPathNameW(path, longPath, kPathCapacity);
        if (n == 0 || n >= kPathCapacity) copyTextW(longPath, kPathCapacity, path);
        formatTextW(composed, cap, L"%s\n\nLog: %s", text, longPath);
    } else {
        copyTextW(composed, cap, text);
    }
    const User32* user32 = messageBoxesShown ? loadUser32() : nullptr;
    if (user32 && !windowStationVisible(user32)) {
        logError(L"no visible desktop for a message box: %s", composed);
        user32 = nullptr;
    }
    bool shown = false;
    if (user32) {
        wchar_t caption[kPathCapacity];
        getMessageOrConfig(msg::ErrorCaption, caption, kPathCapacity);
        // Before the block is read there is no caption text; never show a
        // box without a title.
        if (!caption[0]) copyTextW(caption, kPathCapacity, L"Error");
        shown = user32->messageBox(nullptr, composed, caption, MB_ICONERROR) != 0;
    }
    // Also when no box could be shown (no desktop, as in a service or a
    // session without a window station): the error must still be seen.
    if (!shown) writeStandardError(composed);
}

void showMessage(int id, const wchar_t* argument) {
    wchar_t text[kPathCapacity];
    getMessageOrConfig(id, text, kPathCapacity);
    substituteArgument(text, kPathCapacity, argument);
    showError(text);
}

void showMessageNarrow(int id, const char* argument) {
    wchar_t wide[kPathCapacity];
    if (!argument) argument = "";
    widenFrom(CP_ACP, wide, kPathCapacity, argument);
    showMessage(id, wide);
}

void fatalError(const wchar_t* text) {
    showError(text);
    exitProcessWithCleanup(1);
}

void fatalMessage(int id, const wchar_t* argument) {
    showMessage(id, argument);
    exitProcessWithCleanup(1);
}

void fatalMessageNarrow(int id, const char* argument) {
    showMessageNarrow(id, argument);
    exitProcessWithCleanup(1);
}

void fatalInternalError(InternalError error) { fatalMessage(msg::InternalError, internalErrorCode(error)); }
