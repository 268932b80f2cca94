#include "base/environment_win.h"

#include <cstdlib>
#include <vector>

namespace {

DWORD capacityArgument(size_t cap) {
    return cap > kEnvironmentValueLimit + 1 ? static_cast<DWORD>(kEnvironmentValueLimit + 1)
                                                : static_cast<DWORD>(cap);
}

// n is what GetEnvironmentVariable returned for a buffer of cap elements:
// the value's length when it fitted, the size it needs (terminator
// included) when not, 0 for an empty or absent value.
template <typename Ch>
EnvironmentRead classify(DWORD n, Ch* value, size_t cap, size_t* length) {
    if (n == 0) {
        bool absent = GetLastError() == ERROR_ENVVAR_NOT_FOUND;
        if (cap > 0) value[0] = 0;
        if (length) *length = 0;
        return absent ? EnvironmentRead::Absent : EnvironmentRead::Found;
    }
    if (n >= cap) {
        if (cap > 0) value[0] = 0;
        if (length) *length = n - 1;
        return EnvironmentRead::TooLong;
    }
    if (length) *length = n;
    return EnvironmentRead::Found;
}

}  // namespace

EnvironmentRead readEnvironmentA(const char* name, char* value, size_t cap, size_t* length) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableA(name, value, capacityArgument(cap));
    return classify(n, value, cap, length);
}

EnvironmentRead readEnvironmentW(const wchar_t* name, wchar_t* value, size_t cap, size_t* length) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(name, value, capacityArgument(cap));
    return classify(n, value, cap, length);
}

EnvironmentRead readEnvironmentA(const char* name, std::string& value) {
    value.clear();
    size_t size = 256;
    // The value may change between the calls; retry until it fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<char> buffer(size);
        size_t length = 0;
        EnvironmentRead read = readEnvironmentA(name, buffer.data(), size, &length);
        if (read == EnvironmentRead::Found) value.assign(buffer.data(), length);
        if (read != EnvironmentRead::TooLong) return read;
        if (length > kEnvironmentValueLimit) return EnvironmentRead::TooLong;
        size = length + 1;
    }
    return EnvironmentRead::TooLong;
}

DWORD setEnvironmentA(const char* name, const char* value) {
    DWORD error = SetEnvironmentVariableA(name, value) ? ERROR_SUCCESS : GetLastError();
    // "NAME=" removes the variable from the runtime's copy.
    std::string assignment = std::string(name) + "=" + (value ? value : "");
    _putenv(assignment.c_str());
    return error;
}
