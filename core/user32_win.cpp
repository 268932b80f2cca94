#include "core/user32_win.h"

#include "base/bounded.h"
#include "core/state_win.h"

namespace {

template <typename Function>
bool bind(HMODULE module, const char* name, Function* target) {
    FARPROC address = GetProcAddress(module, name);
    // Through a plain function pointer type, so the compiler accepts the
    // conversion to the real signature.
    *target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

bool loadAll(User32* user32Functions) {
    // From the system directory by full path, never from the search path.
    wchar_t path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    if (!appendTextW(path, sizeof path / sizeof path[0], L"\\user32.dll")) return false;
    HMODULE module = LoadLibraryW(path);
    if (!module) return false;
    return bind(module, "MessageBoxW", &user32Functions->messageBox) &&
           bind(module, "EnumWindows", &user32Functions->enumWindows) &&
           bind(module, "IsWindowVisible", &user32Functions->isWindowVisible) &&
           bind(module, "GetWindowThreadProcessId", &user32Functions->getWindowThreadProcessId) &&
           bind(module, "IsIconic", &user32Functions->isIconic) && bind(module, "ShowWindow", &user32Functions->showWindow) &&
           bind(module, "SetForegroundWindow", &user32Functions->setForegroundWindow) &&
           bind(module, "GetLastActivePopup", &user32Functions->getLastActivePopup) &&
           bind(module, "GetProcessWindowStation", &user32Functions->getProcessWindowStation) &&
           bind(module, "GetUserObjectInformationW", &user32Functions->getUserObjectInformation);
}


BOOL CALLBACK loadOnce(PINIT_ONCE, PVOID, PVOID*) {
    user32Loaded = loadAll(&user32Functions);
    return TRUE;
}

}  // namespace

const User32* loadUser32() {
    // Loaded once, even with several threads asking.
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, loadOnce, nullptr, nullptr);
    return user32Loaded ? &user32Functions : nullptr;
}
