// Loading jvm.dll for an accepted java executable, with the runtime's bin
// directory appended to PATH, and the record of the chosen runtime.
#include <windows.h>

#include <cstring>

#include "base/bounded.h"
#include "base/environment_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "files/paths.h"
#include "jvm/loading_win.h"
#include "jvm/runtimepaths.h"


namespace {

const char* const vmTypeOrder[] = {"hotspot", "client", "server", "classic", "jrockit"};

// PATH is worked with up to the environment's own limit; the extended
// value needs room for ";" and the bin directory beyond that.
constexpr size_t kPathValueCapacity = kEnvironmentValueLimit + 1;
constexpr size_t kExtendedPathCapacity = kPathValueCapacity + 1 + kBinDirectoryCapacity;

// Sets PATH for Windows and for the C runtime's own table (getenv), with
// a trace line either way. A null value removes the variable.
void setPath(const char* value) {
    const char* shown = value ? value : "";
    DWORD error = setEnvironmentA("PATH", value);
    if (error == ERROR_SUCCESS)
        logLine(L"Setting PATH %S", shown);
    else
        logLine(L"Setting PATH %S failed with error %d", shown, static_cast<int>(error));
}

// The PATH in force before a bin directory is appended, so it can be put
// back exactly after a total failure. Plain data, filled by readPath: its
// static instance needs no run-time initialisation.
struct SavedPath {
    bool present;
    bool usable;
    char value[kPathValueCapacity];
};

void readPath(SavedPath& saved) {
    size_t length = 0;
    EnvironmentRead read = readEnvironmentA("PATH", saved.value, kPathValueCapacity, &length);
    saved.present = read != EnvironmentRead::Absent;
    saved.usable = read != EnvironmentRead::TooLong;
    if (!saved.usable) {
        // Cutting PATH would lose entries for the runtime and everything it
        // starts, and could not be undone: leave it as it is. (The count
        // shown is the room the value asked for, terminator included.)
        logError(L"PATH is too long (%d characters); the runtime's bin directory is not added",
                 static_cast<int>(length + 1));
    }
}

// PATH with the bin directory appended, or false (logged) when that value
// would pass the environment's limit.
bool extendedPath(const SavedPath& saved, const char* binDirectory, char* extended, size_t cap) {
    if (pathWithBinDirectory(saved.value, binDirectory, kEnvironmentValueLimit, extended, cap)) return true;
    logError(L"PATH is too long (%d characters); the runtime's bin directory is not added",
             static_cast<int>(strlen(saved.value)));
    return false;
}

}  // namespace

HMODULE tryJvmDll(const char* binDirectory, const char* vmType) {
    char dll[kPathCapacity];
    if (!formatText(dll, kPathCapacity, "%s\\%s\\jvm.dll", binDirectory, vmType)) {
        // A cut path could name another library: never load it.
        logError(L"jvm.dll path too long in %S", binDirectory);
        return nullptr;
    }
    bool exists = pathExists(dll);
    logLine(L"Trying %S (exists %d)", dll, exists ? 1 : 0);
    HMODULE module = LoadLibraryA(dll);
    if (exists && !module) logLine(L"Failed with error code %d", static_cast<int>(GetLastError()));
    return module;
}

HMODULE loadJvmFromBinDir(const char* javaExe) {
    char binDirectory[kBinDirectoryCapacity];
    if (!binDirectoryOf(javaExe, binDirectory, sizeof binDirectory)) {
        logError(L"no bin directory for %S", javaExe);
        return nullptr;
    }
    static SavedPath saved;
    static char extended[kExtendedPathCapacity];
    readPath(saved);
    if (saved.usable) {
        saved.usable = extendedPath(saved, binDirectory, extended, sizeof extended);
        if (saved.usable) setPath(extended);
    }

    char vmType[kVmTypeCapacity];
    getConfigString(key::PreferredVmType, vmType, sizeof vmType);
    HMODULE module = nullptr;
    if (vmType[0]) module = tryJvmDll(binDirectory, vmType);
    for (const char* type : vmTypeOrder) {
        if (module) break;
        module = tryJvmDll(binDirectory, type);
    }
    if (!module && saved.usable) setPath(saved.present ? saved.value : nullptr);
    return module;
}

HMODULE loadJvmFromJavaExe(const char* javaExe) {
    logLine(L"Trying to load JVM-DLL from %S", javaExe);
    HMODULE module = loadJvmFromBinDir(javaExe);
    if (module) return module;
    char alternative[kPathCapacity];
    if (!alternativeJavaExe(javaExe, alternative, kPathCapacity)) return nullptr;
    return loadJvmFromBinDir(alternative);
}

bool resolveCreateJavaVM(HMODULE module) {
    if (!module) return false;
    FARPROC entry = GetProcAddress(module, "JNI_CreateJavaVM");
    if (!entry) return false;
    createJavaVMEntry = reinterpret_cast<CreateJavaVMFunction>(reinterpret_cast<void*>(entry));
    return true;
}

void recordSelectedJvm(const char* javaExe, const char* version) {
    if (!jvmHomeOf(javaExe, selectedJvmHome, kPathCapacity)) logError(L"no runtime home for %S", javaExe);
    selectedJvmVersion = _strdup(version ? version : "");
}
