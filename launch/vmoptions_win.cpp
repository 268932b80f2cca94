#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/bounded.h"
#include "base/text_win.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "launch/expand.h"
#include "launch/vmoptions.h"

namespace {



FILE* openDefaultCandidates(const wchar_t* modulePath) {
    wchar_t candidate[kPathCapacity + 16];
    const size_t cap = sizeof candidate / sizeof candidate[0];
    size_t length = wcslen(modulePath);
    // The extension is dropped by length, whatever the name ends with.
    copyTextNW(candidate, cap, modulePath, length >= 4 ? length - 4 : 0);
    appendTextW(candidate, cap, L".vmoptions");
    FILE* file = _wfopen(candidate, L"rt");
    logLine(L"vmoptions2: exe %s file: %s, file: %p", modulePath, candidate, file);
    if (!file) {
        formatTextW(candidate, cap, L"%s.vmoptions", modulePath);
        file = _wfopen(candidate, L"rt");
        logLine(L"vmoptions: opts2: %s, file: %p", candidate, file);
    }
    if (file) copyTextW(defaultOptionFilePath, cap, candidate);
    return file;
}

// The key under which a file sits on the include chain.
std::wstring chainKey(const wchar_t* path) {
    std::vector<wchar_t> full(kPathCapacity);
    DWORD n = GetFullPathNameW(path, kPathCapacity, full.data(), nullptr);
    if (n == 0 || n >= kPathCapacity) return path;
    return full.data();
}

struct Win32OptionFiles : OptionFileHooks {
    bool expand(wchar_t* text, size_t cap, bool ansiPaths) override { return expandVariablesW(text, cap, ansiPaths); }
    bool resolve(wchar_t* out, size_t cap, const wchar_t* name, const wchar_t* baseFile) override {
        return resolveRelativePathW(out, cap, name, baseFile, false);
    }
    std::wstring chainKey(const wchar_t* path) override { return ::chainKey(path); }
    FILE* open(const wchar_t* path) override { return _wfopen(path, L"rt"); }
    std::string narrow(const std::wstring& text) override { return narrowWhole(fileApiCodePage(), text); }
};

}  // namespace


FILE* openDefaultVmOptionsFile() {
    defaultOptionFilePath[0] = 0;
    FILE* file = openDefaultCandidates(getModulePathW());
    if (file) return file;
    // Started through a short (8.3) name, the module file name differs
    // from the long path.
    wchar_t fileName[kPathCapacity];
    DWORD n = GetModuleFileNameW(nullptr, fileName, kPathCapacity);
    if (n >= kPathCapacity) n = kPathCapacity - 1;
    fileName[n] = 0;
    return openDefaultCandidates(fileName);
}


void readDefaultVmOptionsFile(FILE* file, OptionList& options, ClassPathTexts& texts) {
    OptionFileTarget target{options, texts, openOptionFiles};
    Win32OptionFiles hooks;
    readDefaultVmOptionsFileWith(hooks, target, defaultOptionFilePath, file);
}

void applyVmOptionLine(const wchar_t* baseFile, const wchar_t* line, OptionList& options, ClassPathTexts& texts) {
    OptionFileTarget target{options, texts, openOptionFiles};
    Win32OptionFiles hooks;
    applyVmOptionLineWith(hooks, target, baseFile, line);
}
