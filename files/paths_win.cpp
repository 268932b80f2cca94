#include <windows.h>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "base/text_win.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"

namespace {

bool endsWithExe(const char* path) {
    size_t n = strlen(path);
    return n >= 4 && _stricmp(path + n - 4, ".exe") == 0;
}

void initModulePath() {
    if (launcherModuleKnown) return;
    wchar_t fileName[kPathCapacity];
    DWORD n = GetModuleFileNameW(nullptr, fileName, kPathCapacity);
    if (n >= kPathCapacity) n = kPathCapacity - 1;
    fileName[n] = 0;
    DWORD longLength = GetLongPathNameW(fileName, launcherModulePathW, kPathCapacity);
    logLine(L"init file name %s %s %d %d", fileName, longLength && longLength < kPathCapacity ? launcherModulePathW : L"",
            static_cast<int>(longLength), static_cast<int>(GetLastError()));
    if (longLength == 0 || longLength >= kPathCapacity) copyTextW(launcherModulePathW, kPathCapacity, fileName);

    bool lossy = false;
    toFileApiNarrow(launcherModulePath, kPathCapacity, launcherModulePathW, &lossy);
    if (lossy || strlen(launcherModulePath) < 4 || !endsWithExe(launcherModulePath)) {
        wchar_t shortW[kPathCapacity];
        DWORD s = GetShortPathNameW(launcherModulePathW, shortW, kPathCapacity);
        if (s > 0 && s < kPathCapacity) toFileApiNarrow(launcherModulePath, kPathCapacity, shortW, &lossy);
        if (s == 0 || s >= kPathCapacity || lossy || !endsWithExe(launcherModulePath)) {
            char fileA[kPathCapacity];
            DWORD a = GetModuleFileNameA(nullptr, fileA, kPathCapacity);
            if (a >= kPathCapacity) a = kPathCapacity - 1;
            fileA[a] = 0;
            DWORD sa = GetShortPathNameA(fileA, launcherModulePath, kPathCapacity);
            if (sa == 0 || sa >= kPathCapacity) copyText(launcherModulePath, kPathCapacity, fileA);
        }
    }
    collapseBackslashesW(launcherModulePathW);
    collapseBackslashes(launcherModulePath);
    launcherModuleKnown = true;
}

void initDirectories() {
    if (launcherDirectoryKnown) return;
    initModulePath();
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(launcherModulePath, kPathCapacity, launcherDirectoryPath, &filePart);
    if (n == 0 || n >= kPathCapacity) copyText(launcherDirectoryPath, kPathCapacity, launcherModulePath), filePart = nullptr;
    if (filePart) *filePart = 0;
    else {
        char* slash = strrchr(launcherDirectoryPath, '\\');
        if (slash) slash[1] = 0;
    }
    widenText(launcherDirectoryFromNarrowW, kPathCapacity, launcherDirectoryPath);
    wchar_t* filePartW = nullptr;
    DWORD w = GetFullPathNameW(launcherModulePathW, kPathCapacity, launcherDirectoryPathW, &filePartW);
    if (w == 0 || w >= kPathCapacity) copyTextW(launcherDirectoryPathW, kPathCapacity, launcherModulePathW), filePartW = nullptr;
    if (filePartW) *filePartW = 0;
    else {
        wchar_t* slash = wcsrchr(launcherDirectoryPathW, L'\\');
        if (slash) slash[1] = 0;
    }
    launcherDirectoryKnown = true;
}

// The launcher directory, true wide and the narrow form widened byte by byte.
const wchar_t* launcherDirectoryW() {
    initDirectories();
    return launcherDirectoryPathW;
}

const wchar_t* launcherDirectoryWideFromNarrow() {
    initDirectories();
    return launcherDirectoryFromNarrowW;
}

}  // namespace

bool toFileApiNarrow(char* output, size_t cap, const wchar_t* text, bool* lossy) {
    // Too long for the buffer, it is cut rather than refused.
    return narrowTo(fileApiCodePage(), output, cap, text, lossy);
}

const char* getModulePath() {
    initModulePath();
    return launcherModulePath;
}

const wchar_t* getModulePathW() {
    initModulePath();
    return launcherModulePathW;
}

const char* launcherDirectory() {
    initDirectories();
    return launcherDirectoryPath;
}

void collapseBackslashesW(wchar_t* path) { collapseBackslashesRawW(path); }

void collapseBackslashes(char* path) {
    // Through the wide form, so a trail byte that equals a backslash in a
    // double-byte code page is never taken for one.
    static wchar_t wide[kPathCapacity];
    size_t length = strlen(path);
    if (length >= kPathCapacity) {
        collapseBackslashesRaw(path);
        return;
    }
    if (!widenFrom(fileApiCodePage(), wide, kPathCapacity, path)) return;
    collapseBackslashesRawW(wide);
    char back[kPathCapacity];
    bool lossy = false;
    if (narrowTo(fileApiCodePage(), back, kPathCapacity, wide, &lossy) && !lossy) copyText(path, length + 1, back);
}

bool resolveRelativePath(char* output, size_t cap, const char* path, const char* baseFile) {
    if (cap == 0) return false;
    output[0] = 0;
    bool ok = true;
    if (isRelativePath(path)) {
        if (baseFile) {
            char full[kPathCapacity];
            char* filePart = nullptr;
            DWORD n = GetFullPathNameA(baseFile, kPathCapacity, full, &filePart);
            if (n == 0 || n >= kPathCapacity) {
                copyText(full, kPathCapacity, baseFile);
                filePart = strrchr(full, '\\');
                if (filePart) ++filePart;
            }
            if (filePart) *filePart = 0;
            ok = copyText(output, cap, full);
        } else {
            ok = copyText(output, cap, launcherDirectory());
        }
    }
    ok = appendText(output, cap, path) && ok;
    collapseBackslashes(output);
    return ok;
}

bool resolveRelativePathW(wchar_t* output, size_t cap, const wchar_t* path, const wchar_t* baseFile,
                          bool ansiDirectory) {
    if (cap == 0) return false;
    output[0] = 0;
    bool ok = true;
    if (isRelativePathW(path)) {
        if (baseFile) {
            wchar_t full[kPathCapacity];
            wchar_t* filePart = nullptr;
            DWORD n = GetFullPathNameW(baseFile, kPathCapacity, full, &filePart);
            if (n == 0 || n >= kPathCapacity) {
                copyTextW(full, kPathCapacity, baseFile);
                filePart = wcsrchr(full, L'\\');
                if (filePart) ++filePart;
            }
            if (filePart) *filePart = 0;
            ok = copyTextW(output, cap, full);
        } else {
            ok = copyTextW(output, cap, ansiDirectory ? launcherDirectoryWideFromNarrow() : launcherDirectoryW());
        }
    }
    ok = appendTextW(output, cap, path) && ok;
    collapseBackslashesW(output);
    return ok;
}

bool absolutePath(char* output, size_t cap, const char* path, bool keepCase) {
    if (cap == 0) return false;
    char scratch[kPathCapacity];
    bool ok = resolveRelativePath(scratch, kPathCapacity, path, nullptr);
    char full[kPathCapacity];
    DWORD n = GetFullPathNameA(scratch, kPathCapacity, full, nullptr);
    if (n == 0 || n >= kPathCapacity) {
        ok = false;
        copyText(full, kPathCapacity, scratch);
    }
    ok = copyText(output, cap, full) && ok;
    if (!keepCase) {
        // Through the wide form, written back only if the round trip is exact.
        wchar_t wide[kPathCapacity];
        if (widenFrom(fileApiCodePage(), wide, kPathCapacity, output)) {
            lowerAsciiW(wide);
            char back[kPathCapacity];
            bool lossy = false;
            if (narrowTo(fileApiCodePage(), back, kPathCapacity, wide, &lossy) && !lossy &&
                strlen(back) == strlen(output))
                copyText(output, cap, back);
        }
    }
    collapseBackslashes(output);
    return ok;
}

bool absolutePathW(wchar_t* output, size_t cap, const wchar_t* path, bool keepCase, bool ansiDirectory) {
    if (cap == 0) return false;
    wchar_t scratch[kPathCapacity];
    bool ok = resolveRelativePathW(scratch, kPathCapacity, path, nullptr, ansiDirectory);
    wchar_t full[kPathCapacity];
    DWORD n = GetFullPathNameW(scratch, kPathCapacity, full, nullptr);
    if (n == 0 || n >= kPathCapacity) {
        ok = false;
        copyTextW(full, kPathCapacity, scratch);
    }
    ok = copyTextW(output, cap, full) && ok;
    if (!keepCase) lowerAsciiW(output);
    collapseBackslashesW(output);
    return ok;
}

bool pathExists(const char* path) {
    if (isDriveRoot(path)) return true;
    WIN32_FIND_DATAA data;
    return findEntry(path, data);
}

bool pathExistsW(const wchar_t* path) {
    if (isDriveRootW(path)) return true;
    WIN32_FIND_DATAW data;
    return findEntryW(path, data);
}
