#include "base/text_win.h"

#include <climits>
#include <vector>

#include "base/bounded.h"

namespace {

int capacityArgument(size_t cap) { return cap > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(cap); }

}  // namespace

UINT fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

bool widenFrom(UINT codePage, wchar_t* dst, size_t cap, const char* src) {
    if (cap == 0) return false;
    if (MultiByteToWideChar(codePage, 0, src, -1, dst, capacityArgument(cap)) > 0) return true;
    widenText(dst, cap, src);
    return false;
}

std::wstring widenWhole(UINT codePage, const char* src) {
    int needed = MultiByteToWideChar(codePage, 0, src, -1, nullptr, 0);
    if (needed <= 1) return std::wstring();
    std::vector<wchar_t> wide(static_cast<size_t>(needed));
    if (MultiByteToWideChar(codePage, 0, src, -1, wide.data(), needed) <= 0) return std::wstring();
    return std::wstring(wide.data());
}

bool narrowTo(UINT codePage, char* dst, size_t cap, const wchar_t* src, bool* lossy) {
    if (cap == 0) return false;
    BOOL usedDefault = FALSE;
    bool unicode = codePage == CP_UTF8 || codePage == CP_UTF7;
    const char* defaultChar = unicode ? nullptr : "?";
    BOOL* usedDefaultOut = unicode ? nullptr : &usedDefault;
    int n = WideCharToMultiByte(codePage, 0, src, -1, dst, capacityArgument(cap), defaultChar, usedDefaultOut);
    if (lossy) *lossy = usedDefault != FALSE;
    if (n > 0) return true;
    // Too long for the buffer (or not convertible): convert the whole text
    // apart and keep what fits.
    dst[0] = 0;
    int needed = WideCharToMultiByte(codePage, 0, src, -1, nullptr, 0, defaultChar, usedDefaultOut);
    if (needed <= 0) return false;
    std::vector<char> whole(static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, 0, src, -1, whole.data(), needed, defaultChar, usedDefaultOut);
    if (lossy) *lossy = usedDefault != FALSE;
    copyText(dst, cap, whole.data());
    return false;
}

bool narrowToOrUnits(UINT codePage, char* dst, size_t cap, const wchar_t* src) {
    if (cap == 0) return false;
    if (WideCharToMultiByte(codePage, 0, src, -1, dst, capacityArgument(cap), nullptr, nullptr) > 0) return true;
    narrowText(dst, cap, src);
    return false;
}

std::string narrowWhole(UINT codePage, const std::wstring& src) {
    if (src.empty()) return std::string();
    int length = static_cast<int>(src.size());
    int needed = WideCharToMultiByte(codePage, 0, src.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, src.data(), length, &out[0], needed, nullptr, nullptr);
    return out;
}
