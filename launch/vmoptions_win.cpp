#include <windows.h>

#include <cstdio>
#include <vector>

#include "core/bounded.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "launch/expand.h"
#include "launch/vmoptions.h"

namespace {

wchar_t openedDefaultPath[kPathCapacity + 16];

// The option files open right now, outermost first (main thread only).
IncludeChain openOptionFiles;

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
    if (file) copyTextW(openedDefaultPath, cap, candidate);
    return file;
}

// The key under which a file sits on the include chain.
std::wstring chainKey(const wchar_t* path) {
    std::vector<wchar_t> full(kPathCapacity);
    DWORD n = GetFullPathNameW(path, kPathCapacity, full.data(), nullptr);
    if (n == 0 || n >= kPathCapacity) return path;
    return full.data();
}

bool admitInclude(const wchar_t* resolved) {
    switch (enterInclude(openOptionFiles, chainKey(resolved))) {
    case IncludeCheck::Entered: return true;
    case IncludeCheck::Cycle:
        logError(L"vmoptions include of %s skipped: that file is already being read", resolved);
        return false;
    case IncludeCheck::TooDeep:
        logError(L"vmoptions include of %s skipped: more than %d nested option files", resolved,
                 static_cast<int>(kMaxIncludeDepth));
        return false;
    }
    return false;
}

void includeOptionFile(const wchar_t* baseFile, const std::wstring& rest, OptionList& options,
                       ClassPathTexts& texts) {
    wchar_t name[kPathCapacity];
    if (!copyTextW(name, kPathCapacity, rest.c_str())) {
        logError(L"vmoptions include name too long (%d characters), skipped", static_cast<int>(rest.size()));
        return;
    }
    bool expanded = expandVariablesW(name, kPathCapacity, false);
    logLine(L"after exp from %s %s", name, rest.c_str());
    wchar_t resolved[kPathCapacity];
    bool resolvedWhole = resolveRelativePathW(resolved, kPathCapacity, name, baseFile, false);
    if (!expanded || !resolvedWhole) {
        // A cut name would open some other file.
        logError(L"vmoptions include name too long after expansion, skipped: %s", name);
        return;
    }
    if (!admitInclude(resolved)) return;
    FILE* file = _wfopen(resolved, L"rt");
    logLine(L"adding vmoptions from (%p) <%s> (%s)", file, resolved, name);
    readVmOptionsFile(resolved, file, options, texts);
    leaveInclude(openOptionFiles);
    logLine(L"adding vmoptions 2");
    logLine(L"adding vmoptions 3");
}

}  // namespace

std::string toFileApiString(const std::wstring& text) {
    if (text.empty()) return std::string();
    UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    int length = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, &out[0], needed, nullptr, nullptr);
    return out;
}

FILE* openDefaultVmOptionsFile() {
    openedDefaultPath[0] = 0;
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

const wchar_t* defaultVmOptionsPath() { return openedDefaultPath; }

void readDefaultVmOptionsFile(FILE* file, OptionList& options, ClassPathTexts& texts) {
    if (!file) return;
    // On the chain, so that the file cannot include itself.
    enterInclude(openOptionFiles, chainKey(openedDefaultPath));
    readVmOptionsFile(nullptr, file, options, texts);
    leaveInclude(openOptionFiles);
}

void readVmOptionsFile(const wchar_t* baseFile, FILE* file, OptionList& options, ClassPathTexts& texts) {
    if (!file) return;
    std::vector<wchar_t> wide(kOptionLineCapacity);
    forEachOptionLine(file, [&](const char* line) {
        widenText(wide.data(), wide.size(), line);
        expandVariablesW(wide.data(), wide.size(), true);
        applyVmOptionLine(baseFile, wide.data(), options, texts);
    });
    fclose(file);
}

void applyVmOptionLine(const wchar_t* baseFile, const wchar_t* line, OptionList& options, ClassPathTexts& texts) {
    std::wstring rest;
    switch (classifyOptionLine(line, &rest)) {
    case OptionLineKind::Include: includeOptionFile(baseFile, rest, options, texts); break;
    case OptionLineKind::ClassPath:
        texts.hasReplacement = true;
        texts.replacement = toFileApiString(rest);
        break;
    case OptionLineKind::ClassPathPrefix:
        texts.hasPrefix = true;
        texts.prefix = toFileApiString(rest);
        break;
    case OptionLineKind::ClassPathSuffix:
        texts.hasSuffix = true;
        texts.suffix = toFileApiString(rest);
        break;
    case OptionLineKind::Option: options.push_back(toFileApiString(line)); break;
    }
}
