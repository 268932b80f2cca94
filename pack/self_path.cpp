#include "pack/self_path.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::filesystem::path executablePath(const char* argv0) {
#ifdef _WIN32
    wchar_t buffer[32768];
    DWORD n = GetModuleFileNameW(nullptr, buffer, sizeof buffer / sizeof buffer[0]);
    if (n > 0 && n < sizeof buffer / sizeof buffer[0]) return std::filesystem::path(std::wstring(buffer, n));
#else
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n > 0 && static_cast<size_t>(n) < sizeof buffer) return std::filesystem::path(std::string(buffer, static_cast<size_t>(n)));
#endif
    std::error_code ec;
    return std::filesystem::absolute(argv0 ? argv0 : "", ec);
}
