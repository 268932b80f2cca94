#include <cstdio>

#include "base/bounded.h"
#include "instance/guard.h"

bool buildSemaphoreName(char* output, size_t cap, bool global, const char* canonicalPath, int number) {
    if (!copyText(output, cap, global ? "Global\\" : "Local\\")) return false;
    bool fits = true;
    for (const char* p = canonicalPath; *p && fits; ++p) {
        // A backslash in a kernel object name would open a namespace.
        char c = (*p == '\\' || *p == ' ') ? '_' : *p;
        fits = appendChar(output, cap, c);
    }
    if (fits && number >= 0) fits = appendFormat(output, cap, "%d", number);
    return fits;
}
