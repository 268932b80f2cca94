// Gathers the expansion values from the process and hands them to the
// portable core.
#include <windows.h>

#include "base/bounded.h"
#include "core/state.h"
#include "files/paths.h"
#include "files/temp.h"
#include "jvm/loading_win.h"
#include "launch/expand.h"

namespace {

std::wstring widened(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return wide;
}

template <typename Ch>
void readBlock(const Ch* block, std::vector<std::basic_string<Ch>>& entries) {
    if (!block) return;
    for (const Ch* p = block; *p;) {
        std::basic_string<Ch> entry(p);
        p += entry.size() + 1;
        entries.push_back(entry);
    }
}

void readNarrowEnvironment(std::vector<std::string>& entries) {
    // With UNICODE defined the plain name means the wide function; the
    // narrow block is the one exported under the plain name.
#pragma push_macro("GetEnvironmentStrings")
#undef GetEnvironmentStrings
    LPCH block = GetEnvironmentStrings();
#pragma pop_macro("GetEnvironmentStrings")
    readBlock<char>(block, entries);
    if (block) FreeEnvironmentStringsA(block);
}

void readWideEnvironment(std::vector<std::wstring>& entries) {
    LPWCH block = GetEnvironmentStringsW();
    readBlock<wchar_t>(block, entries);
    if (block) FreeEnvironmentStringsW(block);
}

}  // namespace

bool expandVariables(char* text, size_t cap) {
    ExpansionValuesA values;
    char directory[kPathCapacity];
    resolveRelativePath(directory, kPathCapacity, "", nullptr);
    values.launcherDirectory = directory;
    values.tempDirectory = tempDirectory;
    values.jvmHome = selectedJvmHome;
    // A missing temporary base is fatal here even when no text names the
    // temporary-folder variable.
    char base[kPathCapacity];
    getTempBase(base, kPathCapacity);
    values.tempBase = base;
    // Nothing can match: skip copying the environment block.
    if (!hasVariableSyntax(text, cap)) return true;
    readNarrowEnvironment(values.environment);
    return expandWithValues(text, cap, values);
}

bool expandVariablesW(wchar_t* text, size_t cap, bool ansiPaths) {
    ExpansionValues values;
    wchar_t directory[kPathCapacity];
    resolveRelativePathW(directory, kPathCapacity, L"", nullptr, ansiPaths);
    values.launcherDirectory = directory;
    values.tempDirectory = widened(tempDirectory);
    values.jvmHome = widened(selectedJvmHome);
    if (ansiPaths) {
        char base[kPathCapacity];
        getTempBase(base, kPathCapacity);
        values.tempBase = widened(base);
    } else {
        wchar_t base[kPathCapacity];
        getTempBaseW(base, kPathCapacity, true);
        values.tempBase = base;
    }
    if (!hasVariableSyntaxW(text, cap)) return true;
    readWideEnvironment(values.environment);
    return expandWithValuesW(text, cap, values);
}
