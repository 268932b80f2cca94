#include <windows.h>

#include <vector>

#include "launch/envvalue.h"

bool readEnvironmentA(const char* name, std::string& value) {
    value.clear();
    DWORD size = 256;
    // The value may change between the calls; retry until it fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<char> buffer(size);
        SetLastError(0);
        DWORD n = GetEnvironmentVariableA(name, buffer.data(), size);
        if (n == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        if (n < size) {
            value.assign(buffer.data(), n);
            return true;
        }
        size = n + 1;
    }
    return false;
}
