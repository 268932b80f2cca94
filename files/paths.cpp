// Portable path logic shared by both widths.
#include <cstring>
#include <cwchar>

#include "files/paths.h"

namespace {

template <typename Ch>
size_t len(const Ch* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

template <typename Ch>
bool isRelativeImpl(const Ch* path) {
    size_t n = len(path);
    if (n < 3) return true;
    if (path[0] == '"') {
        if (n < 4) return true;
        ++path;
    }
    if (path[1] == ':' && path[2] == '\\') return false;
    if (path[0] == '\\' && path[1] == '\\') return false;
    return true;
}

template <typename Ch>
void collapseImpl(Ch* path) {
    size_t out = 0;
    Ch previous = 0;
    for (size_t i = 0; path[i]; ++i) {
        Ch c = path[i];
        bool drop = i != 1 && c == '\\' && previous == '\\';
        previous = c;
        if (!drop) path[out++] = c;
    }
    path[out] = 0;
}

template <typename Ch>
bool driveRootImpl(const Ch* path) {
    size_t n = len(path);
    if (n < 2) return false;
    const Ch* rest = path + 1;
    static const char* roots[] = {":\\", ":\\.", ":\\.\\."};
    for (const char* root : roots) {
        size_t i = 0;
        while (root[i] && rest[i] == static_cast<Ch>(root[i])) ++i;
        if (!root[i] && !rest[i]) return true;
    }
    return false;
}

template <typename Ch>
void lowerImpl(Ch* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<Ch>(*text - 'A' + 'a');
}

}  // namespace

bool isRelativePath(const char* path) { return isRelativeImpl(path); }
bool isRelativePathW(const wchar_t* path) { return isRelativeImpl(path); }
void collapseBackslashesRaw(char* path) { collapseImpl(path); }
void collapseBackslashesRawW(wchar_t* path) { collapseImpl(path); }
bool isDriveRoot(const char* path) { return driveRootImpl(path); }
bool isDriveRootW(const wchar_t* path) { return driveRootImpl(path); }
void lowerAscii(char* text) { lowerImpl(text); }
void lowerAsciiW(wchar_t* text) { lowerImpl(text); }
