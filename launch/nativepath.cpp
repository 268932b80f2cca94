#include "launch/nativepath.h"

#include <cstring>

#include "base/bounded.h"

bool composeNativePath(char* output, size_t cap, const char* directories, const char* currentPath) {
    if (cap == 0) return false;
    bool fits = copyText(output, cap, directories);
    if (fits && output[0] && !endsWithChar(output, ';')) fits = appendChar(output, cap, ';');
    if (fits && currentPath) fits = appendText(output, cap, currentPath);
    if (!fits) output[0] = 0;
    return fits;
}
