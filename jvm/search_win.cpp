// The JVM search: the two location files, the configured sequence, the
// relative pass, earlier installations and the two fixed variables. The
// first candidate whose jvm.dll loads ends it; when none does, exactly one
// message tells the user how the last accepted candidate was found.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <share.h>

#include "config/keys.h"
#include "config/store.h"
#include "core/bounded.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "jvm/javacheck.h"
#include "jvm/loading.h"
#include "jvm/packed.h"
#include "jvm/scans.h"
#include "jvm/search.h"
#include "jvm/sequence.h"
#include "launch/expand.h"

namespace {

constexpr size_t kVersionCapacity = 2000;

#if defined(_WIN64)
constexpr bool kSixtyFourBit = true;
#else
constexpr bool kSixtyFourBit = false;
#endif

struct Bounds {
    VersionComponents minimum;
    VersionComponents maximum;
};

// What the search leaves behind for LoadDLL.
struct SearchResult {
    char javaExe[kPathCapacity] = "";
    char version[kVersionCapacity] = "";
    int sourceKind = kSourceNone;
    char locationText[kPathCapacity] = "";
    HMODULE module = nullptr;
};

bool testLocation(SearchResult& r, const char* directory, const Bounds& bounds, bool existenceOnly) {
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
           checkJavaExe(r.javaExe, kPathCapacity, r.version, kVersionCapacity, bounds.minimum, bounds.maximum, true);
}

bool testEnvironmentVariable(SearchResult& r, const char* name, const Bounds& bounds) {
    char value[kPathCapacity];
    DWORD n = GetEnvironmentVariableA(name, value, kPathCapacity);
    if (n == 0 || n >= kPathCapacity) return false;
    for (char* p = value; *p; ++p)
        if (*p == '/') *p = '\\';
    return javaExeInHome(value, r.javaExe, kPathCapacity) &&
           checkJavaExe(r.javaExe, kPathCapacity, r.version, kVersionCapacity, bounds.minimum, bounds.maximum,
                        false);
}

bool testSearchPath(SearchResult& r, const Bounds& bounds) {
    DWORD n = SearchPathA(nullptr, "java.exe", nullptr, kPathCapacity, r.javaExe, nullptr);
    if (n == 0 || n >= kPathCapacity) {
        r.javaExe[0] = 0;
        return false;
    }
    return checkJavaExe(r.javaExe, kPathCapacity, r.version, kVersionCapacity, bounds.minimum, bounds.maximum,
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

// Records how the accepted candidate was found and tries its jvm.dll.
bool accept(SearchResult& r, int kind, const char* locationText) {
    r.sourceKind = kind;
    if (locationText) copyText(r.locationText, kPathCapacity, locationText);
    r.module = loadJvmFromJavaExe(r.javaExe);
    return r.module != nullptr;
}

bool tryLocationFile(SearchResult& r, const wchar_t* suffix, const wchar_t* hasFormat, const wchar_t* usingText,
                     const Bounds& bounds) {
    char line[kPathCapacity];
    if (!readLocationFile(suffix, line, kPathCapacity)) return false;
    logLine(hasFormat, line);
    if (!testLocation(r, line, bounds, false)) return false;
    logLine(usingText);
    return accept(r, kSourceDirectory, line);
}

bool firstPass(SearchResult& r, const std::vector<SearchEntry>& entries, const Bounds& bounds) {
    for (const SearchEntry& entry : entries) {
        char text[kPathCapacity];
        copyText(text, kPathCapacity, entry.text.c_str());
        expandVariables(text, kPathCapacity);
        logLine(L"Testing location %S (type %c)", text, entry.letter);
        bool loaded = false;
        switch (entry.letter) {
        case 'A':
        case 'B':
        case 'R':
            loaded = testLocation(r, text, bounds, false) && accept(r, kSourceDirectory, text);
            break;
        case 'E': loaded = testEnvironmentVariable(r, text, bounds) && accept(r, kSourceEnvironment, text); break;
        case 'S': loaded = testSearchPath(r, bounds) && accept(r, kSourceSearchPath, text); break;
        case 'Y':
            loaded = scanRegisteredJvms(r.javaExe, kPathCapacity, r.version, kVersionCapacity, bounds.minimum,
                                        bounds.maximum) &&
                     accept(r, kSourceRegistry, nullptr);
            break;
        default: break;
        }
        if (loaded) return true;
    }
    return false;
}

// Entries are revisited by existence alone, with their raw text. The
// version recorded is the loaded runtime's own, as the cache knows it from
// the first pass, never one an earlier refused candidate left behind.
bool relativePass(SearchResult& r, const std::vector<SearchEntry>& entries, const Bounds& bounds) {
    for (const SearchEntry& entry : entries) {
        if (!visitedInRelativePass(entry)) continue;
        const char* text = entry.text.c_str();
        logLine(L"Testing relative location %S", text);
        testLocation(r, text, bounds, true);
        if (!pathExists(r.javaExe)) continue;
        logLine(L"%S exists", r.javaExe);
        if (cachedVersionOf(r.javaExe, r.version, kVersionCapacity))
            logLine(L"got version from registry %S", r.version);
        if (accept(r, kSourceDirectory, text)) return true;
    }
    return false;
}

bool previousInstallation(SearchResult& r, HKEY hive, const wchar_t* format, const Bounds& bounds) {
    if (!findPreviousInstallation(hive, r.javaExe, kPathCapacity, r.version, kVersionCapacity, bounds.minimum,
                                  bounds.maximum))
        return false;
    logLine(format, r.javaExe);
    return accept(r, kSourceRegistry, nullptr);
}

bool fixedVariable(SearchResult& r, const char* name, const Bounds& bounds) {
    return testEnvironmentVariable(r, name, bounds) && accept(r, kSourceEnvironment, name);
}

void searchJvm(SearchResult& r) {
    logLine(L"Searching for a JVM");
    r.sourceKind = kSourceNone;
    r.module = nullptr;
    char sequence[kPathCapacity];
    char minimum[kPathCapacity];
    char maximum[kPathCapacity];
    getConfigString(key::SearchSequence, sequence, kPathCapacity);
    getConfigString(key::MinVersion, minimum, kPathCapacity);
    getConfigString(key::MaxVersion, maximum, kPathCapacity);
    logLine(L"MinVersion: %S, MaxVersion: %S", minimum, maximum);
    const Bounds bounds{parseVersion(minimum), parseVersion(maximum)};

    if (tryLocationFile(r, L"\\.vantrel\\pref_jre.cfg", L"Has preferred location %S", L"Using preferred location",
                        bounds))
        return;
    const std::vector<SearchEntry> entries = splitSearchSequence(sequence);
    if (firstPass(r, entries, bounds)) return;
    if (tryLocationFile(r, L"\\.vantrel\\inst_jre.cfg", L"Has installer location %S", L"Using installer location",
                        bounds))
        return;
    if (relativePass(r, entries, bounds)) return;
    if (previousInstallation(r, HKEY_CURRENT_USER, L"found JRE from previous installation (user) %S", bounds)) return;
    if (previousInstallation(r, HKEY_LOCAL_MACHINE, L"found JRE from previous installation (machine) %S", bounds))
        return;
    logLine(L"Search sequence finished");
    if (fixedVariable(r, "MORLIN_JAVA_HOME", bounds)) return;
    fixedVariable(r, "VANTREL_JAVA_HOME", bounds);
}

void reportFailure(const SearchResult& r) {
    FailureMessage message = failureMessageFor(r.sourceKind, kSixtyFourBit);
    switch (message.argument) {
    case FailureArgument::Width: showMessage(message.id, message.width); break;
    case FailureArgument::Location: showMessageNarrow(message.id, r.locationText); break;
    case FailureArgument::None: showMessage(message.id, nullptr); break;
    }
}

}  // namespace

bool LoadDLL(bool reportFailures) {
    static SearchResult result;
    logLine(L"LoadDLL (%d, %S, %d)", 1, static_cast<const char*>(nullptr), 0);
    searchJvm(result);
    if (result.sourceKind == kSourceNone) {
        logError(L"No JVM found");
        if (reportFailures) reportFailure(result);
        return false;
    }
    recordSelectedJvm(result.javaExe, result.version);
    if (!result.module) logError(L"Could not get DLL-Handle.");
    if (!resolveCreateJavaVM(result.module)) {
        logError(L"Could not load functions");
        if (reportFailures) reportFailure(result);
        return false;
    }
    logLine(L"Loading of JVM-DLL successful");
    return true;
}
