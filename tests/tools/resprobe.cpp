// resprobe: reads an executable's resources the way Windows' own shell
// does, for tests that must not trust the packing tool's reader.
//
//   resprobe EXE
//
// Prints, one a line (UTF-8):
//   fixed FILE PRODUCT       the fixed versions, dotted (GetFileVersionInfoW)
//   translation LLLLCCCC     the first translation entry
//   NAME=TEXT                each of the eight usual version strings found
//                            (VerQueryValueW under \StringFileInfo\LLLLCCCC\)
//   icons N                  the icons ExtractIconExW counts
//   large-icon ok|none       whether ExtractIconExW hands out the first one
// Exit code 0, or 1 when the file has no version information.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void say(const std::wstring& line) {
    std::wstring text = line + L"\n";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
}

std::wstring dotted(DWORD high, DWORD low) {
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." + std::to_wstring(HIWORD(low)) +
           L"." + std::to_wstring(LOWORD(low));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        say(L"usage: resprobe EXE");
        return 2;
    }
    const wchar_t* file = argv[1];
    int result = 0;
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(file, &ignored);
    std::vector<unsigned char> info(size ? size : 1);
    if (!size || !GetFileVersionInfoW(file, 0, size, info.data())) {
        say(L"no version information (" + std::to_wstring(GetLastError()) + L")");
        result = 1;
    } else {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
            say(L"fixed " + dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + L" " +
                dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
        WORD* translation = nullptr;
        wchar_t table[16] = L"040904B0";
        if (VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                           &length) &&
            length >= 4) {
            swprintf(table, 16, L"%04X%04X", translation[0], translation[1]);
            say(std::wstring(L"translation ") + table);
        }
        for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                    L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
            std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
            wchar_t* text = nullptr;
            if (VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text)
                say(std::wstring(name) + L"=" + text);
        }
    }
    say(L"icons " + std::to_wstring(ExtractIconExW(file, -1, nullptr, nullptr, 0)));
    HICON large = nullptr;
    UINT got = ExtractIconExW(file, 0, &large, nullptr, 1);
    say(std::wstring(L"large-icon ") + (got >= 1 && large ? L"ok" : L"none"));
    if (large) DestroyIcon(large);
    return result;
}
