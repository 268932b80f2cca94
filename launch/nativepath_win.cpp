#include <windows.h>

#include <vector>

#include "base/environment_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "launch/classpath.h"
#include "launch/expand.h"
#include "launch/nativepath.h"

void setNativeLibraryPath() {
    char directories[kPathCapacity];
    getConfigString(key::NativeLibraryDirectories, directories, kPathCapacity);
    logLine(L"native lib dir is %S", directories);
    if (!expandVariables(directories, kPathCapacity)) {
        logError(L"native library directories too long after expansion, PATH left unchanged");
        return;
    }
    std::vector<char> resolved(kNativePathCapacity);
    resolvePathList(resolved.data(), resolved.size(), directories);

    std::string current;
    bool hasPath = readEnvironmentA("PATH", current) == EnvironmentRead::Found;
    std::vector<char> value(kNativePathCapacity);
    if (!composeNativePath(value.data(), value.size(), resolved.data(), hasPath ? current.c_str() : nullptr)) {
        logError(L"native library directories and PATH exceed %d bytes, PATH left unchanged",
                 static_cast<int>(kNativePathCapacity));
        return;
    }
    DWORD error = setEnvironmentA("PATH", value.data());
    if (error == ERROR_SUCCESS)
        logLine(L"Setting PATH (native libs) %S", value.data());
    else
        logLine(L"Setting PATH (native libs) %S failed with error %d", value.data(), static_cast<int>(error));
}
