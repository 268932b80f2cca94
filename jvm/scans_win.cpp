// Runtimes the machine knows about: the JavaSoft registration, the lists
// of located runtimes, and earlier installations of the application. The
// launcher only reads these keys.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "jvm/javacheck_win.h"
#include "jvm/ranking.h"
#include "jvm/registrations.h"
#include "jvm/scans_win.h"

namespace {

const char* const kLocatedKey = "SOFTWARE\\brevane\\morlin\\locatedjvms\\";
const char* const kInstallationsKey = "SOFTWARE\\brevane\\vantrel\\installations";
constexpr size_t kCurrentVersionCapacity = 100;
constexpr DWORD kMaxEnumeratedKeys = 100000;

struct Bounds {
    const VersionComponents& minimum;
    const VersionComponents& maximum;
};

// One found runtime: its java executable and version.
// No member initialisers: with them the compiler keeps a 12 KB image of
// the empty record in the executable to copy from. Static records start
// zero-filled; a local one is value-initialised ({}) where it is made.
struct Found {
    char javaExe[kPathCapacity];
    char version[kPathCapacity];
};

// Queries a string value of an open key. A value that does not fit with
// its terminator counts as missing.
bool queryText(HKEY key, const char* name, char* buffer, size_t cap) {
    if (cap == 0) return false;
    DWORD size = static_cast<DWORD>(cap);
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    bool ok = status == ERROR_SUCCESS && (size == 0 || buffer[size - 1] == 0 || size < cap);
    if (ok && (size == 0 || buffer[size - 1] != 0)) buffer[size] = 0;
    if (!ok) buffer[0] = 0;
    return ok;
}

bool readRegistryValue(HKEY hive, const char* keyPath, const char* name, char* buffer, size_t cap) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        if (cap > 0) buffer[0] = 0;
        return false;
    }
    bool ok = queryText(key, name, buffer, cap);
    RegCloseKey(key);
    return ok;
}

// Subkey names of an open key; entries that cannot be read are skipped.
std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0; index < kMaxEnumeratedKeys; ++index) {
        char name[kPathCapacity];
        char className[kPathCapacity];
        DWORD nameLength = kPathCapacity;
        DWORD classLength = kPathCapacity;
        FILETIME written;
        LONG status = RegEnumKeyExA(key, index, name, &nameLength, nullptr, className, &classLength, &written);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS) names.emplace_back(name, nameLength);
    }
    return names;
}

bool acceptHome(const char* home, Found& out, const Bounds& bounds) {
    return javaExeInHome(home, out.javaExe, kPathCapacity) &&
           checkJavaExe(out.javaExe, kPathCapacity, out.version, kPathCapacity, bounds.minimum, bounds.maximum,
                        false);
}

bool readJavaSoftCurrentVersion(Found& out, const Bounds& bounds) {
    char jdk[kCurrentVersionCapacity];
    char jre[kCurrentVersionCapacity];
    bool requireJdk = getConfigInt(key::RequireJdk) != 0;
    bool jdkRead = readRegistryValue(HKEY_LOCAL_MACHINE, kJavaSoftJdkKey, "CurrentVersion", jdk, sizeof jdk);
    bool jreRead =
        !requireJdk && readRegistryValue(HKEY_LOCAL_MACHINE, kJavaSoftJreKey, "CurrentVersion", jre, sizeof jre);
    char keyPath[kPathCapacity];
    currentVersionKeyPath(jdkRead ? jdk : nullptr, jreRead ? jre : nullptr, requireJdk, bounds.minimum,
                          bounds.maximum, keyPath, kPathCapacity);
    char home[kPathCapacity];
    if (!readRegistryValue(HKEY_LOCAL_MACHINE, keyPath, "JavaHome", home, kPathCapacity)) return false;
    return acceptHome(home, out, bounds);
}

bool scanJavaSoftVersions(const char* keyPath, Found& out, const Bounds& bounds) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool accepted = false;
    for (const std::string& name : orderVersionNames(subkeyNames(key), bounds.minimum, bounds.maximum)) {
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &subkey) != ERROR_SUCCESS) continue;
        char home[kPathCapacity];
        accepted = queryText(subkey, "JavaHome", home, kPathCapacity) && acceptHome(home, out, bounds);
        RegCloseKey(subkey);
        if (accepted) break;
    }
    RegCloseKey(key);
    return accepted;
}

bool scanJavaSoftRegistry(Found& out, const Bounds& bounds) {
    if (readJavaSoftCurrentVersion(out, bounds)) return true;
    const char* keys[2];
    size_t count = javaSoftScanKeys(getConfigInt(key::RequireJdk) != 0, keys);
    for (size_t i = 0; i < count; ++i)
        if (scanJavaSoftVersions(keys[i], out, bounds)) return true;
    return false;
}

bool scanLocatedJvmsInHive(HKEY hive, bool restricted, Found& best, const Bounds& bounds) {
    best.javaExe[0] = 0;
    best.version[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, kLocatedKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool found = false;
    for (const std::string& name : subkeyNames(key)) {
        Found candidate{};
        if (!locatedJavaExe(name, restricted, candidate.javaExe, kPathCapacity)) continue;
        // Among equal versions the first one enumerated stays the best.
        if (checkJavaExe(candidate.javaExe, kPathCapacity, candidate.version, kPathCapacity, bounds.minimum,
                         bounds.maximum, true) &&
            isNewerVersion(candidate.version, best.version)) {
            best = candidate;
            found = true;
        }
    }
    RegCloseKey(key);
    return found;
}

bool scanLocatedJvms(bool restricted, Found& out, const Bounds& bounds) {
    static Found user;
    static Found machine;
    bool userFound = scanLocatedJvmsInHive(HKEY_CURRENT_USER, restricted, user, bounds);
    bool machineFound = scanLocatedJvmsInHive(HKEY_LOCAL_MACHINE, restricted, machine, bounds);
    switch (chooseCandidate(userFound, user.version, machineFound, machine.version)) {
    case Candidate::First: out = user; return true;
    case Candidate::Second: out = machine; return true;
    case Candidate::None: break;
    }
    return false;
}

bool testPreviousInstallations(HKEY hive, REGSAM view, Found& out, const Bounds& bounds) {
    char id[kPathCapacity];
    getConfigString(key::ApplicationId, id, kPathCapacity);
    logLine(L"checking app id %S (%d, %p)", id, static_cast<int>(view), static_cast<void*>(hive));
    if (!id[0]) return false;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(hive, kInstallationsKey, 0, KEY_READ | view, &key);
    if (status != ERROR_SUCCESS) {
        logLine(L"could not open installation node %d", static_cast<int>(status));
        return false;
    }
    char list[kPathCapacity];
    if (!queryText(key, id, list, kPathCapacity) || !list[0]) {
        logLine(L"could not query value node %d", 0);
        RegCloseKey(key);
        return false;
    }
    logLine(L"found installations: %S", list);
    bool accepted = false;
    for (const std::string& runtimeHome : installationHomes(list)) {
        char home[kPathCapacity];
        if (!copyText(home, kPathCapacity, runtimeHome.c_str())) continue;
        if (!javaExeInHome(home, out.javaExe, kPathCapacity)) {
            logLine(L"did not find java in %S", home);
        } else if (checkJavaExe(out.javaExe, kPathCapacity, out.version, kPathCapacity, bounds.minimum,
                                bounds.maximum, false)) {
            accepted = true;
            break;
        } else {
            logLine(L"java version did not match in %S", home);
        }
    }
    RegCloseKey(key);
    return accepted;
}

void deliver(const Found& found, char* javaExe, size_t exeCap, char* version, size_t versionCap) {
    copyText(javaExe, exeCap, found.javaExe);
    copyText(version, versionCap, found.version);
}

}  // namespace

bool scanRegisteredJvms(char* javaExe, size_t exeCap, char* version, size_t versionCap,
                        const VersionComponents& minimum, const VersionComponents& maximum) {
    const Bounds bounds{minimum, maximum};
    static Found sun;
    static Found located;
    bool restricted = getConfigInt(key::OnlyOwnRuntimes) != 0;
    bool sunFound = !restricted && scanJavaSoftRegistry(sun, bounds);
    if (sunFound) logLine(L"found sun %S %S", sun.javaExe, sun.version);
    // Current distributions register elsewhere; their result takes the
    // JavaSoft result's place in the choice below.
    if (!sunFound && !restricted)
        sunFound = scanCurrentRegistrations(sun.javaExe, kPathCapacity, sun.version, kPathCapacity, minimum, maximum);
    bool locatedFound = scanLocatedJvms(restricted, located, bounds);
    if (locatedFound) logLine(L"found located %S %S", located.javaExe, located.version);
    switch (chooseCandidate(sunFound, sun.version, locatedFound, located.version)) {
    case Candidate::First: deliver(sun, javaExe, exeCap, version, versionCap); return true;
    case Candidate::Second: deliver(located, javaExe, exeCap, version, versionCap); return true;
    case Candidate::None: break;
    }
    return false;
}

bool findPreviousInstallation(HKEY hive, char* javaExe, size_t exeCap, char* version, size_t versionCap,
                              const VersionComponents& minimum, const VersionComponents& maximum) {
    const Bounds bounds{minimum, maximum};
    static Found found;
    if (!testPreviousInstallations(hive, 0, found, bounds) &&
        !testPreviousInstallations(hive, KEY_WOW64_32KEY, found, bounds))
        return false;
    deliver(found, javaExe, exeCap, version, versionCap);
    return true;
}
