// Judging a java executable: where it lies in a home, its version from the
// per-user cache or a "-version" run, and the configured bounds.
#include <windows.h>

#include <cstring>

#include "base/bounded.h"
#include "base/dirwalk_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "jvm/javacheck_win.h"
#include "jvm/runtimepaths.h"

namespace {

const char* const kCacheRoot = "SOFTWARE\\brevane\\morlin\\jvms\\";

// The cache key of an executable: its checked path with "/" for "\". A
// path whose key does not fit has no cache entry rather than a cut one,
// which could belong to another executable.
bool cacheKeyPath(const char* javaExe, char* keyPath, size_t cap) {
    if (!copyText(keyPath, cap, kCacheRoot)) return false;
    size_t start = strlen(keyPath);
    if (!appendText(keyPath, cap, javaExe)) return false;
    for (char* p = keyPath + start; *p; ++p)
        if (*p == '\\') *p = '/';
    return true;
}

}  // namespace

bool javaExeInHome(const char* home, char* javaExe, size_t cap) {
    // A cut path could name some other file: leave nothing instead.
    if (!formatText(javaExe, cap, "%s\\jre\\bin\\java.exe", home)) {
        if (cap > 0) javaExe[0] = 0;
        return false;
    }
    if (getConfigInt(key::RequireJdk) != 0) {
        char marker[kPathCapacity];
        if (formatText(marker, kPathCapacity, "%s\\lib\\tools.jar", home) && pathExists(marker)) return true;
        // JDKs since 9 have no tools.jar and no private runtime: their
        // compiler marks them, and their own bin holds the java executable.
        if (!formatText(marker, kPathCapacity, "%s\\bin\\javac.exe", home) || !pathExists(marker)) return false;
        if (!pathExists(javaExe) && !formatText(javaExe, cap, "%s\\bin\\java.exe", home)) {
            javaExe[0] = 0;
            return false;
        }
        return true;
    }
    if (!pathExists(javaExe) && !formatText(javaExe, cap, "%s\\bin\\java.exe", home)) {
        javaExe[0] = 0;
        return false;
    }
    return true;
}

bool readVersionCache(const char* javaExe, const FILETIME& lastWrite, char* version, size_t cap) {
    char keyPath[kPathCapacity];
    if (cap == 0 || !cacheKeyPath(javaExe, keyPath, kPathCapacity)) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool ok = false;
    BYTE stamp[8];
    DWORD type = 0;
    DWORD size = sizeof stamp;
    if (RegQueryValueExA(key, "LastWriteTime", nullptr, &type, stamp, &size) == ERROR_SUCCESS && size == 8 &&
        memcmp(stamp, &lastWrite, 8) == 0) {
        DWORD length = static_cast<DWORD>(cap);
        if (RegQueryValueExA(key, "Version", nullptr, &type, reinterpret_cast<BYTE*>(version), &length) ==
            ERROR_SUCCESS) {
            // A value stored without its NUL needs one more byte; when the
            // buffer has none left the value does not fit and counts as absent.
            bool fits = length == 0 || version[length - 1] == 0 || length < cap;
            if (fits && (length == 0 || version[length - 1] != 0)) version[length] = 0;
            if (fits) mendCachedVersion(version);
            // Texts of this form were written by broken earlier runs.
            ok = fits && strcmp(version, "1.7.") != 0 && strcmp(version, "1.6.") != 0 &&
                 strcmp(version, "1.5.") != 0;
        }
    }
    if (!ok) version[0] = 0;
    RegCloseKey(key);
    return ok;
}

void writeVersionCache(const char* javaExe, const FILETIME& lastWrite, const char* version) {
    char keyPath[kPathCapacity];
    if (!cacheKeyPath(javaExe, keyPath, kPathCapacity)) return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "LastWriteTime", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&lastWrite), 8);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version)));
    RegCloseKey(key);
}

bool cachedVersionOf(const char* javaExe, char* version, size_t cap) {
    if (cap > 0) version[0] = 0;
    WIN32_FIND_DATAA data;
    if (!findEntry(javaExe, data)) return false;
    if (readVersionCache(javaExe, data.ftLastWriteTime, version, cap) && strcmp(version, "1.0.0") != 0) return true;
    if (cap > 0) version[0] = 0;
    return false;
}

bool checkJavaExe(char* javaExe, size_t exeCap, char* version, size_t versionCap, const VersionComponents& minimum,
                  const VersionComponents& maximum, bool allowPreRelease) {
    logLine(L"checkJavaExe (%S, [out], %d, %d, %d)", javaExe, static_cast<int>(minimum.size()),
            static_cast<int>(maximum.size()), allowPreRelease ? 1 : 0);
    // A path that cannot be resolved within its buffer is not looked up:
    // cut, it could name some other file.
    char absolute[kPathCapacity];
    bool resolved = absolutePath(absolute, kPathCapacity, javaExe, false) && copyText(javaExe, exeCap, absolute);

    bool result = false;
    WIN32_FIND_DATAA data;
    if (!resolved || !findEntry(javaExe, data)) {
        logLine(L"file doesn't exist");
    } else {
        const FILETIME lastWrite = data.ftLastWriteTime;
        logLine(L"file exists");
        if (versionCap > 0) version[0] = 0;
        if (readVersionCache(javaExe, lastWrite, version, versionCap) && strcmp(version, "1.0.0") != 0) {
            logLine(L"got version from registry %S", version);
            result = checkVersion(version, minimum, maximum, allowPreRelease);
        } else if (runJavaVersion(javaExe, lastWrite, version, versionCap)) {
            logLine(L"got version from execution %S", version);
            writeVersionCache(javaExe, lastWrite, version);
            result = checkVersion(version, minimum, maximum, allowPreRelease);
        } else {
            logLine(L"couldn't get version");
        }
    }
    if (result && getConfigInt(key::ExecutableType) == 1)
        result = windowedJavaExe(javaExe, exeCap) && pathExists(javaExe);
    logLine(L"checkJavaExe returning %d", result ? 1 : 0);
    return result;
}
