#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "base/environment_win.h"
#include "config/keys.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "files/temp.h"

namespace {


int seededRandom() {
    srand(static_cast<unsigned>(static_cast<unsigned long long>(time(nullptr)) * GetCurrentProcessId()));
    return rand();
}

// Narrow and wide versions of the same candidate logic share this shape.
struct NarrowApi {
    using Ch = char;
    static bool exists(const char* p) { return pathExists(p); }
    static BOOL makeDir(const char* p) { return CreateDirectoryA(p, nullptr); }
    static BOOL removeDir(const char* p) { return RemoveDirectoryA(p); }
    static DWORD longPath(const char* p, char* out, DWORD n) { return GetLongPathNameA(p, out, n); }
    static EnvironmentRead env(const char* name, char* out, size_t n) { return readEnvironmentA(name, out, n); }
    static DWORD tempPath(DWORD n, char* out) { return GetTempPathA(n, out); }
    static UINT windowsDir(char* out, UINT n) { return GetWindowsDirectoryA(out, n); }
    static bool hasQuestionMark(const char* p) { return strchr(p, '?') != nullptr; }
    static bool copy(char* d, size_t c, const char* s) { return copyText(d, c, s); }
    static bool append(char* d, size_t c, const char* s) { return appendText(d, c, s); }
    static bool format(char* d, size_t c, const char* dir, unsigned pid, int r) {
        return formatText(d, c, "%s\\mrltw%d%d", dir, static_cast<int>(pid), r);
    }
};

struct WideApi {
    using Ch = wchar_t;
    static bool exists(const wchar_t* p) { return pathExistsW(p); }
    static BOOL makeDir(const wchar_t* p) { return CreateDirectoryW(p, nullptr); }
    static BOOL removeDir(const wchar_t* p) { return RemoveDirectoryW(p); }
    static DWORD longPath(const wchar_t* p, wchar_t* out, DWORD n) { return GetLongPathNameW(p, out, n); }
    static EnvironmentRead env(const wchar_t* name, wchar_t* out, size_t n) {
        return readEnvironmentW(name, out, n);
    }
    static DWORD tempPath(DWORD n, wchar_t* out) { return GetTempPathW(n, out); }
    static UINT windowsDir(wchar_t* out, UINT n) { return GetWindowsDirectoryW(out, n); }
    static bool hasQuestionMark(const wchar_t* p) {
        // A name the code page cannot represent comes back with '?' in
        // its narrow form.
        char narrow[kPathCapacity];
        bool lossy = false;
        toFileApiNarrow(narrow, kPathCapacity, p, &lossy);
        return lossy || wcschr(p, L'?') != nullptr;
    }
    static bool copy(wchar_t* d, size_t c, const wchar_t* s) { return copyTextW(d, c, s); }
    static bool append(wchar_t* d, size_t c, const wchar_t* s) { return appendTextW(d, c, s); }
    static bool format(wchar_t* d, size_t c, const wchar_t* dir, unsigned pid, int r) {
        return formatTextW(d, c, L"%s\\mrltw%d%d", dir, static_cast<int>(pid), r);
    }
};

template <typename Api>
bool probeWritableDirectory(const typename Api::Ch* dir) {
    typename Api::Ch probe[kPathCapacity];
    if (!Api::format(probe, kPathCapacity, dir, GetCurrentProcessId(), seededRandom())) return false;
    Api::removeDir(probe);
    if (!Api::makeDir(probe)) return false;
    bool usable = Api::exists(probe);
    Api::removeDir(probe);
    return usable;
}

template <typename Api>
bool checkTempCandidate(const typename Api::Ch* path, bool createFirst, bool rejectLossy) {
    if (!path[0]) return false;
    if (createFirst) Api::makeDir(path);
    if (rejectLossy) {
        typename Api::Ch longForm[kPathCapacity];
        DWORD n = Api::longPath(path, longForm, kPathCapacity);
        if (n > 0 && n < kPathCapacity && Api::hasQuestionMark(longForm)) return false;
    }
    return probeWritableDirectory<Api>(path);
}

// Reads an environment variable into a buffer; an unset or over-long
// value gives false.
template <typename Api>
bool readVariable(const typename Api::Ch* name, typename Api::Ch* out) {
    return Api::env(name, out, kPathCapacity) == EnvironmentRead::Found && out[0];
}

template <typename Api>
bool findTempBase(typename Api::Ch* buffer, const typename Api::Ch* userProfile, const typename Api::Ch* homeDrive,
                  const typename Api::Ch* homePath, const typename Api::Ch* localTemp, const typename Api::Ch* winTemp,
                  const typename Api::Ch* cTemp, const typename Api::Ch* cTmp) {
    using Ch = typename Api::Ch;
    Ch candidate[kPathCapacity];
    auto tempPath = [&](Ch* out) {
        DWORD n = Api::tempPath(kPathCapacity, out);
        if (n == 0 || n >= kPathCapacity) {
            out[0] = 0;
            return false;
        }
        return true;
    };
    auto profileTemp = [&](Ch* out) {
        return readVariable<Api>(userProfile, out) && Api::append(out, kPathCapacity, localTemp);
    };
    auto homeDir = [&](Ch* out) {
        Ch pathPart[kPathCapacity];
        if (!readVariable<Api>(homeDrive, out) || !readVariable<Api>(homePath, pathPart)) {
            out[0] = 0;
            return false;
        }
        return Api::append(out, kPathCapacity, pathPart);
    };
    auto windowsDir = [&](Ch* out, const Ch* suffix) {
        UINT n = Api::windowsDir(out, kPathCapacity);
        if (n == 0 || n >= kPathCapacity) {
            out[0] = 0;
            return false;
        }
        return !suffix || Api::append(out, kPathCapacity, suffix);
    };
    auto accept = [&](const Ch* path) { return Api::copy(buffer, kPathCapacity, path); };

    // Each candidate that does not fit its buffer is skipped rather than cut.
    if (tempPath(candidate) && checkTempCandidate<Api>(candidate, true, true)) return accept(candidate);
    if (profileTemp(candidate) && checkTempCandidate<Api>(candidate, false, true)) return accept(candidate);
    if (homeDir(candidate) && checkTempCandidate<Api>(candidate, false, true)) return accept(candidate);
    if (windowsDir(candidate, winTemp) && checkTempCandidate<Api>(candidate, false, false)) return accept(candidate);
    if (checkTempCandidate<Api>(cTemp, false, false)) return accept(cTemp);
    if (checkTempCandidate<Api>(cTmp, false, false)) return accept(cTmp);
    if (windowsDir(candidate, nullptr) && checkTempCandidate<Api>(candidate, false, false)) return accept(candidate);
    if (checkTempCandidate<Api>(cTmp, true, false)) return accept(cTmp);
    if (tempPath(candidate) && checkTempCandidate<Api>(candidate, true, false)) return accept(candidate);
    if (profileTemp(candidate) && checkTempCandidate<Api>(candidate, false, false)) return accept(candidate);
    if (homeDir(candidate) && checkTempCandidate<Api>(candidate, false, false)) return accept(candidate);
    buffer[0] = 0;
    return false;
}

}  // namespace

void getTempBase(char* buffer, size_t cap) {
    if (!tempBase) {
        char found[kPathCapacity];
        if (!findTempBase<NarrowApi>(found, "USERPROFILE", "HOMEDRIVE", "HOMEPATH", "\\AppData\\Local\\Temp",
                                     "\\temp", "c:\\temp", "c:\\tmp")) {
            copyText(buffer, cap, "");
            fatalMessage(msg::NoTempDirectory, nullptr);
        }
        tempBase = _strdup(found);
    }
    copyText(buffer, cap, tempBase);
}

void getTempBaseW(wchar_t* buffer, size_t cap, bool fatal) {
    if (!tempBaseW) {
        wchar_t found[kPathCapacity];
        if (!findTempBase<WideApi>(found, L"USERPROFILE", L"HOMEDRIVE", L"HOMEPATH", L"\\AppData\\Local\\Temp",
                                   L"\\temp", L"c:\\temp", L"c:\\tmp")) {
            copyTextW(buffer, cap, L"");
            if (fatal) fatalMessage(msg::NoTempDirectory, nullptr);
            return;
        }
        tempBaseW = _wcsdup(found);
    }
    copyTextW(buffer, cap, tempBaseW);
}

void makeTempFileName(char* output, size_t cap) {
    char base[kPathCapacity];
    getTempBase(base, kPathCapacity);
    logLine(L"tempPath is %S", base);
    // GetTempFileNameA writes up to MAX_PATH characters.
    char name[MAX_PATH + 1];
    if (strlen(base) < MAX_PATH - 14 && GetTempFileNameA(base, "mrl", 0, name)) {
        copyText(output, cap, name);
    } else {
        logLine(L"GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
        if (!endsWithChar(base, '\\') && !endsWithChar(base, '/')) appendText(base, kPathCapacity, "\\");
        formatText(output, cap, "%smrl%d", base, seededRandom());
    }
    logLine(L"tempFile is %S", output);
}

void createTempDirectory() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        char fileName[kPathCapacity];
        makeTempFileName(fileName, kPathCapacity);
        formatText(tempDirectory, kPathCapacity, "%s_dir%d", fileName,
                   static_cast<int>(static_cast<unsigned long long>(time(nullptr)) & 0xFFFFFFFFu));
        logLine(L"Temp dir3: %S", tempDirectory);
        if (CreateDirectoryA(tempDirectory, nullptr)) return;
        logLine(L"Could not create dir (%d)", static_cast<int>(GetLastError()));
    }
    tempDirectory[0] = 0;
    fatalInternalError(InternalError::TempDirectoryNotCreated);
}

void emptyDirectory(const char* directory, bool recurse) {
    if (!directory || !directory[0] || directory[0] == '.') return;
    logLine(L"emptying %S", directory);
    const char* separator = endsWithChar(directory, '\\') ? "" : "\\";
    char pattern[kPathCapacity];
    if (!formatText(pattern, kPathCapacity, "%s%s*.*", directory, separator)) return;
    for (DirectoryWalk walk(pattern); walk.next();) {
        const WIN32_FIND_DATAA& data = walk.entry();
        char entry[kPathCapacity];
        // An entry whose path does not fit is left alone rather than
        // deleting the wrong file.
        if (!formatText(entry, kPathCapacity, "%s%s%s", directory, separator, data.cFileName)) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logLine(L"attempting to remove %S (%d)", entry, recurse ? 1 : 0);
            // A junction or directory link may lead anywhere, to files this
            // process never made: only the link itself goes, and removing
            // a link never touches what it points to.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                logLine(L"not descending into link %S", entry);
            else if (recurse)
                emptyDirectory(entry, false);
            RemoveDirectoryA(entry);
        } else {
            // A file link is deleted as a link, never its target.
            logLine(L"attempting to delete %S", entry);
            DeleteFileA(entry);
        }
    }
}
