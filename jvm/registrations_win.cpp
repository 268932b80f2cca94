// The registrations of current Java distributions, walked key by key. Only
// read when the JavaSoft registration accepted nothing, so a machine with
// an older runtime registered there pays nothing for them.
#include <windows.h>

#include <string>
#include <vector>

#include "base/bounded.h"
#include "core/log.h"
#include "core/state.h"
#include "jvm/javacheck_win.h"
#include "jvm/ranking.h"
#include "jvm/registrations.h"

namespace {

constexpr DWORD kMaxEnumeratedKeys = 100000;

struct Bounds {
    const VersionComponents& minimum;
    const VersionComponents& maximum;
};

struct Accepted {
    std::string javaExe;
    std::string version;
};

struct Walk {
    HKEY hive;
    const wchar_t* hiveName;
    const RegistrationLayout& layout;
    const Bounds& bounds;
    std::vector<Accepted>& accepted;
};

// A string value of an open key; a number (the MSI keys' "JavaHome") or a
// value that does not fit is no home.
bool queryString(HKEY key, const char* name, char* buffer, size_t cap) {
    DWORD size = static_cast<DWORD>(cap);
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    bool ok = status == ERROR_SUCCESS && type == REG_SZ && (size == 0 || buffer[size - 1] == 0 || size < cap);
    if (ok && (size == 0 || buffer[size - 1] != 0)) buffer[size] = 0;
    if (!ok) buffer[0] = 0;
    return ok;
}

void judge(const Walk& walk, HKEY key, const std::string& keyPath) {
    logLine(L"Testing registration %s\\%S", walk.hiveName, keyPath.c_str());
    char value[kPathCapacity];
    char home[kPathCapacity];
    if (!queryString(key, walk.layout.homeValue, value, kPathCapacity) ||
        !registeredHome(value, home, kPathCapacity)) {
        logLine(L"registration has no home in %S", walk.layout.homeValue);
        return;
    }
    char javaExe[kPathCapacity];
    char version[kPathCapacity];
    if (!javaExeInHome(home, javaExe, kPathCapacity)) {
        logLine(L"did not find java in %S", home);
    } else if (!checkJavaExe(javaExe, kPathCapacity, version, kPathCapacity, walk.bounds.minimum,
                             walk.bounds.maximum, false)) {
        logLine(L"registered JVM in %S refused", home);
    } else {
        walk.accepted.push_back({javaExe, version});
    }
}

// Follows the pattern's segments from an open key: "*" enumerates the
// subkeys, a name opens that one subkey.
void walkKey(const Walk& walk, HKEY key, const std::vector<std::string>& segments, size_t at,
             const std::string& keyPath) {
    if (at == segments.size()) {
        judge(walk, key, keyPath);
        return;
    }
    std::vector<std::string> names;
    if (segments[at] == "*") {
        for (DWORD index = 0; index < kMaxEnumeratedKeys; ++index) {
            char name[kPathCapacity];
            DWORD length = kPathCapacity;
            LONG status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status == ERROR_SUCCESS) names.emplace_back(name, length);
        }
    } else {
        names.push_back(segments[at]);
    }
    for (const std::string& name : names) {
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &subkey) != ERROR_SUCCESS) continue;
        walkKey(walk, subkey, segments, at + 1, keyPath + "\\" + name);
        RegCloseKey(subkey);
    }
}

void scanLayout(const Walk& walk) {
    const std::vector<std::string> segments = splitList(walk.layout.keyPattern, '\\');
    // The literal head is opened in one call: on most machines it is
    // missing and that one call is the whole cost.
    size_t head = 0;
    std::string headPath;
    for (; head < segments.size() && segments[head] != "*"; ++head)
        headPath += (head == 0 ? "" : "\\") + segments[head];
    HKEY key = nullptr;
    if (RegOpenKeyExA(walk.hive, headPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    walkKey(walk, key, segments, head, headPath);
    RegCloseKey(key);
}

}  // namespace

bool scanCurrentRegistrations(char* javaExe, size_t exeCap, char* version, size_t versionCap,
                              const VersionComponents& minimum, const VersionComponents& maximum) {
    const Bounds bounds{minimum, maximum};
    std::vector<Accepted> accepted;
    const struct {
        HKEY hive;
        const wchar_t* name;
    } hives[] = {{HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}, {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"}};
    for (const auto& hive : hives)
        for (size_t i = 0; i < registrationLayoutCount; ++i)
            if (layoutScannedInHive(registrationLayouts[i], hive.hive == HKEY_LOCAL_MACHINE))
                scanLayout(Walk{hive.hive, hive.name, registrationLayouts[i], bounds, accepted});

    std::vector<std::string> versions;
    for (const Accepted& a : accepted) versions.push_back(a.version);
    size_t best = newestCandidate(versions);
    if (best == accepted.size()) return false;
    if (!copyText(javaExe, exeCap, accepted[best].javaExe.c_str()) ||
        !copyText(version, versionCap, accepted[best].version.c_str())) {
        logError(L"registered JVM %S does not fit its buffer", accepted[best].javaExe.c_str());
        return false;
    }
    logLine(L"found registered %S %S", javaExe, version);
    return true;
}
