#include "core/user32_win.h"

#include "core/bounded.h"

namespace {

template <typename Function>
bool bind(HMODULE module, const char* name, Function* target) {
    FARPROC address = GetProcAddress(module, name);
    // Through a plain function pointer type, so the compiler accepts the
    // conversion to the real signature.
    *target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

bool loadAll(User32* functions) {
    // From the system directory by full path, never from the search path.
    wchar_t path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    if (!appendTextW(path, sizeof path / sizeof path[0], L"\\user32.dll")) return false;
    HMODULE module = LoadLibraryW(path);
    if (!module) return false;
    return bind(module, "MessageBoxW", &functions->messageBox) &&
           bind(module, "EnumWindows", &functions->enumWindows) &&
           bind(module, "IsWindowVisible", &functions->isWindowVisible) &&
           bind(module, "GetWindowThreadProcessId", &functions->getWindowThreadProcessId) &&
           bind(module, "IsIconic", &functions->isIconic) && bind(module, "ShowWindow", &functions->showWindow) &&
           bind(module, "SetForegroundWindow", &functions->setForegroundWindow) &&
           bind(module, "GetLastActivePopup", &functions->getLastActivePopup) &&
           bind(module, "GetProcessWindowStation", &functions->getProcessWindowStation) &&
           bind(module, "GetUserObjectInformationW", &functions->getUserObjectInformation);
}

User32 functions;
bool loaded;

BOOL CALLBACK loadOnce(PINIT_ONCE, PVOID, PVOID*) {
    loaded = loadAll(&functions);
    return TRUE;
}

}  // namespace

const User32* loadUser32() {
    // Loaded once, even with several threads asking.
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, loadOnce, nullptr, nullptr);
    return loaded ? &functions : nullptr;
}
