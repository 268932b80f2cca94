// The Win32 side of the JVM search: how a location, a variable, PATH and
// the location files are tested, and what LoadDLL reports. The order of
// the search lives in search.cpp.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <share.h>

#include "base/bounded.h"
#include "base/environment_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state_win.h"
#include "files/paths.h"
#include "jvm/javacheck_win.h"
#include "jvm/loading_win.h"
#include "jvm/packed.h"
#include "jvm/scans_win.h"
#include "jvm/search.h"
#include "jvm/sequence.h"
#include "launch/expand.h"

namespace {

#if defined(_WIN64)
constexpr bool kSixtyFourBit = true;
#else
constexpr bool kSixtyFourBit = false;
#endif

bool testLocation(SearchResult& r, const char* directory, const SearchBounds& bounds, bool existenceOnly) {
    char home[kPathCapacity];
    if (!absolutePath(home, kPathCapacity, directory, false)) {
        // Cut, the directory could be some other one: nothing is found there.
        r.javaExe[0] = 0;
        return existenceOnly;
    }
    preparePackedJre(home);
    bool found = javaExeInHome(home, r.javaExe, kPathCapacity);
    if (existenceOnly) return true;
    return found &&
           checkJavaExe(r.javaExe, kPathCapacity, r.version, kSearchVersionCapacity, bounds.minimum, bounds.maximum, true);
}

bool testEnvironmentVariable(SearchResult& r, const char* name, const SearchBounds& bounds) {
    char value[kPathCapacity];
    if (readEnvironmentA(name, value, kPathCapacity) != EnvironmentRead::Found || !value[0]) return false;
    for (char* p = value; *p; ++p)
        if (*p == '/') *p = '\\';
    return javaExeInHome(value, r.javaExe, kPathCapacity) &&
           checkJavaExe(r.javaExe, kPathCapacity, r.version, kSearchVersionCapacity, bounds.minimum, bounds.maximum,
                        false);
}

bool testSearchPath(SearchResult& r, const SearchBounds& bounds) {
    DWORD n = SearchPathA(nullptr, "java.exe", nullptr, kPathCapacity, r.javaExe, nullptr);
    if (n == 0 || n >= kPathCapacity) {
        r.javaExe[0] = 0;
        return false;
    }
    return checkJavaExe(r.javaExe, kPathCapacity, r.version, kSearchVersionCapacity, bounds.minimum, bounds.maximum,
                        false);
}

// The first line of a file below the application directory, without its
// line end. A file whose first line is empty still gives a line.
bool readLocationFile(const wchar_t* suffix, char* line, size_t cap) {
    wchar_t configured[kPathCapacity];
    getConfigWide(key::ApplicationDirectory, configured, kPathCapacity);
    wchar_t directory[kPathCapacity];
    absolutePathW(directory, kPathCapacity, configured, true, false);
    // The suffix brings its own backslash.
    size_t length = wcslen(directory);
    if (length > 0 && directory[length - 1] == L'\\') directory[length - 1] = 0;
    wchar_t path[kPathCapacity];
    if (!formatTextW(path, kPathCapacity, L"%s%s", directory, suffix)) return false;
    FILE* file = _wfsopen(path, L"rt", _SH_DENYNO);
    if (!file) return false;
    if (!fgets(line, static_cast<int>(cap), file)) line[0] = 0;
    fclose(file);
    size_t end = strlen(line);
    while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == '\n')) line[--end] = 0;
    return true;
}

struct Win32Search : SearchHooks {
    SearchResult& r;
    explicit Win32Search(SearchResult& result) : r(result) {}
    bool readLocationFile(const wchar_t* suffix, char* line, size_t cap) override {
        return ::readLocationFile(suffix, line, cap);
    }
    bool testLocation(const char* directory, const SearchBounds& bounds, bool existenceOnly) override {
        return ::testLocation(r, directory, bounds, existenceOnly);
    }
    bool testEnvironmentVariable(const char* name, const SearchBounds& bounds) override {
        return ::testEnvironmentVariable(r, name, bounds);
    }
    bool testSearchPath(const SearchBounds& bounds) override { return ::testSearchPath(r, bounds); }
    bool scanRegistry(const SearchBounds& bounds) override {
        return scanRegisteredJvms(r.javaExe, kPathCapacity, r.version, kSearchVersionCapacity, bounds.minimum,
                                  bounds.maximum);
    }
    const char* previousInstallation(bool machine, const SearchBounds& bounds) override {
        HKEY hive = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        return findPreviousInstallation(hive, r.javaExe, kPathCapacity, r.version, kSearchVersionCapacity,
                                        bounds.minimum, bounds.maximum)
                   ? r.javaExe
                   : nullptr;
    }
    const char* existingCandidate() override { return pathExists(r.javaExe) ? r.javaExe : nullptr; }
    const char* cachedCandidateVersion() override {
        return cachedVersionOf(r.javaExe, r.version, kSearchVersionCapacity) ? r.version : nullptr;
    }
    bool loadCandidate() override {
        r.module = loadJvmFromJavaExe(r.javaExe);
        return r.module != nullptr;
    }
    void expand(char* text, size_t cap) override { expandVariables(text, cap); }
};

void reportFailure(const SearchResult& r) {
    FailureMessage message = failureMessageFor(r.outcome.sourceKind, kSixtyFourBit);
    switch (message.argument) {
    case FailureArgument::Width: showMessage(message.id, message.width); break;
    case FailureArgument::Location: showMessageNarrow(message.id, r.outcome.locationText.c_str()); break;
    case FailureArgument::None: showMessage(message.id, nullptr); break;
    }
}

}  // namespace

bool LoadDLL(bool reportFailures) {
    logLine(L"LoadDLL (%d, %S, %d)", 1, static_cast<const char*>(nullptr), 0);
    searchResult.module = nullptr;
    Win32Search hooks(searchResult);
    searchJvmWith(hooks, searchResult.outcome);
    if (searchResult.outcome.sourceKind == kSourceNone) {
        logError(L"No JVM found");
        if (reportFailures) reportFailure(searchResult);
        return false;
    }
    recordSelectedJvm(searchResult.javaExe, searchResult.version);
    if (!searchResult.module) logError(L"Could not get DLL-Handle.");
    if (!resolveCreateJavaVM(searchResult.module)) {
        logError(L"Could not load functions");
        if (reportFailures) reportFailure(searchResult);
        return false;
    }
    logLine(L"Loading of JVM-DLL successful");
    return true;
}
