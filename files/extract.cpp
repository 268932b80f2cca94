// The portable side of extraction: name checks, the name list and the
// target paths. The copy itself lives in extract_win.cpp.
#include "files/extract.h"

#include <cstdint>
#include <cstring>

#include "base/bounded.h"
#include "config/block.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A component made only of dots and spaces names no real file, and the
// file APIs trim trailing dots and spaces differently, so any such
// component with two dots is taken for a parent reference.
bool climbsUp(const char* component, size_t length) {
    size_t dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (component[i] == '.') ++dots;
        else if (component[i] != ' ') return false;
    }
    return dots >= 2;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows opens a device, not a file, for these names in any directory and
// with any extension ("nul.txt", "lib\\com1.jar"): a write there would not
// land in the temporary directory.
bool namesDevice(const char* component, size_t length) {
    size_t stem = 0;
    while (stem < length && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    char name[8];
    if (stem < 3 || stem > 7) return false;
    for (size_t i = 0; i < stem; ++i) name[i] = upper(component[i]);
    name[stem] = 0;
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : devices)
        if (strcmp(name, device) == 0) return true;
    bool numbered = stem == 4 && (strncmp(name, "COM", 3) == 0 || strncmp(name, "LPT", 3) == 0);
    return numbered && name[3] >= '1' && name[3] <= '9';
}

}  // namespace

bool isSafeEmbeddedName(const char* name) {
    if (!name || !name[0]) return false;
    // A leading separator is the root of the current drive (or a network
    // or device path); a colon is a drive ("c:x" is relative to c:'s own
    // current directory) or a stream, never part of a plain file name.
    if (isSeparator(name[0]) || strchr(name, ':')) return false;
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == 0 || isSeparator(*p)) {
            size_t length = static_cast<size_t>(p - start);
            if (climbsUp(start, length) || namesDevice(start, length)) return false;
            if (*p == 0) break;
            start = p + 1;
        }
    }
    return true;
}

char* nextEmbeddedName(char** cursor) {
    char* p = *cursor;
    if (!p) return nullptr;
    while (*p == ';') ++p;
    if (*p == 0) {
        *cursor = p;
        return nullptr;
    }
    char* name = p;
    while (*p && *p != ';') ++p;
    if (*p) *p++ = 0;
    *cursor = p;
    return name;
}

bool embeddedTargetPaths(const char* directory, const char* name, char* target, char* subdirectory,
                         size_t cap) {
    if (cap == 0) return false;
    subdirectory[0] = 0;
    if (!formatText(target, cap, "%s\\%s", directory, name)) return false;
    const char* backslash = strchr(name, '\\');
    if (backslash) {
        size_t length = strlen(directory) + 1 + static_cast<size_t>(backslash - name);
        copyTextN(subdirectory, cap, target, length);
    }
    return true;
}

void unmaskBytes(unsigned char* data, size_t count) {
    // Eight bytes at a time: a byte loop in a size-optimised build costs as
    // much as the file reads themselves on a large payload.
    const uint64_t mask = 0x0101010101010101ULL * kPayloadMask;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        memcpy(&word, data + i, 8);
        word ^= mask;
        memcpy(data + i, &word, 8);
    }
    for (; i < count; ++i) data[i] ^= kPayloadMask;
}
