#include "hostjvm/src/unixpath_win.h"

#include <vector>

#include "hostjvm/src/link_win.h"

namespace {

using WineUnixFileName = char*(CDECL*)(const wchar_t*);

WineUnixFileName wineMapping() {
    static WineUnixFileName mapping = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (kernel) mapping = reinterpret_cast<WineUnixFileName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    }
    return mapping;
}

}  // namespace

bool unixPathOf(const std::wstring& windowsPath, std::string& unixPath) {
    WineUnixFileName mapping = wineMapping();
    if (!mapping || windowsPath.empty()) return false;
    char* mapped = mapping(windowsPath.c_str());
    if (!mapped) return false;
    unixPath = mapped;
    HeapFree(GetProcessHeap(), 0, mapped);
    return true;
}

bool translateUtf8Path(const std::string& windowsPath, std::string& unixPath, void*) {
    return unixPathOf(fromUtf8(windowsPath), unixPath);
}

std::wstring moduleFolder(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    while (true) {
        DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        if (n < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data());
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}
