#include <windows.h>

#include <cstdlib>
#include <vector>

#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "launch/classpath.h"
#include "launch/envvalue.h"
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
    bool hasPath = readEnvironmentA("PATH", current);
    std::vector<char> value(kNativePathCapacity);
    if (!composeNativePath(value.data(), value.size(), resolved.data(), hasPath ? current.c_str() : nullptr)) {
        logError(L"native library directories and PATH exceed %d bytes, PATH left unchanged",
                 static_cast<int>(kNativePathCapacity));
        return;
    }
    if (SetEnvironmentVariableA("PATH", value.data()))
        logLine(L"Setting PATH (native libs) %S", value.data());
    else
        logLine(L"Setting PATH (native libs) %S failed with error %d", value.data(),
                static_cast<int>(GetLastError()));
    // The run-time library keeps its own copy of the environment; later
    // reads through it must agree with the process environment.
    std::string assignment = std::string("PATH=") + value.data();
    _putenv(assignment.c_str());
}
