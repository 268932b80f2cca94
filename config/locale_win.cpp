#include <windows.h>

#include "config/locale.h"
#include "core/log.h"

const char* detectLocale() {
    LANGID langId = static_cast<LANGID>(GetUserDefaultLCID() & 0xFFFF);
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    if (kernel) {
        typedef LANGID(WINAPI * UiLanguageFunction)();
        FARPROC proc = GetProcAddress(kernel, "GetUserDefaultUILanguage");
        if (proc) langId = reinterpret_cast<UiLanguageFunction>(reinterpret_cast<void (*)()>(proc))();
    }
    setDetectedLocale(localeCodeForLangId(langId));
    logLine(L"language/country is %S", detectedLocale());
    return detectedLocale();
}
