#include "jvm/runtimepaths.h"

#include <cstring>

#include "base/bounded.h"

namespace {

// Length of the executable's file name: 9 when the path ends in
// "javaw.exe" (exact case), otherwise 8, whatever those characters are.
size_t javaExeNameLength(const char* javaExe) {
    size_t total = strlen(javaExe);
    return total >= 9 && strcmp(javaExe + total - 9, "javaw.exe") == 0 ? 9 : 8;
}

// The part of the path before its file name, or false when the path is
// too short to hold one.
bool directoryPart(const char* javaExe, size_t extra, size_t* length) {
    size_t total = strlen(javaExe);
    size_t cut = javaExeNameLength(javaExe) + extra;
    if (total < cut) return false;
    *length = total - cut;
    return true;
}

bool fail(char* output, size_t cap) {
    if (cap > 0) output[0] = 0;
    return false;
}

}  // namespace

bool binDirectoryOf(const char* javaExe, char* output, size_t cap) {
    size_t length = 0;
    if (!directoryPart(javaExe, 1, &length)) return fail(output, cap);
    if (!copyTextN(output, cap, javaExe, length)) return fail(output, cap);
    return true;
}

bool alternativeJavaExe(const char* javaExe, char* output, size_t cap) {
    size_t length = 0;
    if (!directoryPart(javaExe, 0, &length)) return fail(output, cap);
    if (!copyTextN(output, cap, javaExe, length) || !appendText(output, cap, "..\\jre\\bin\\java.exe"))
        return fail(output, cap);
    return true;
}

bool jvmHomeOf(const char* javaExe, char* output, size_t cap) {
    size_t length = 0;
    if (!directoryPart(javaExe, 0, &length)) return fail(output, cap);
    if (!copyTextN(output, cap, javaExe, length) || !appendText(output, cap, "..")) return fail(output, cap);
    return true;
}

bool windowedJavaExe(char* javaExe, size_t cap) {
    size_t total = strlen(javaExe);
    if (total < 4 || total + 1 >= cap) return false;
    javaExe[total - 4] = 0;
    appendText(javaExe, cap, "w.exe");
    return true;
}

bool pathWithBinDirectory(const char* path, const char* binDirectory, size_t limit, char* output, size_t cap) {
    if (!formatText(output, cap, "%s;%s", path, binDirectory) || strlen(output) > limit) return fail(output, cap);
    return true;
}
