// Test tool: the launcher's start-up and extraction steps alone. Packed
// with a block like the launcher, it extracts the embedded files, prints
// what the later steps would see, and ends either normally (the files stay,
// as after a completed run) or through the fatal-exit clean-up.
//
//   extractrun.exe [--cleanup]
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/launch.h"
#include "files/extract_win.h"
#include "files/temp.h"

int main(int argc, char** argv) {
    initLauncher();
    int result = extractEmbeddedFiles(true);
    printf("result %d\n", result);
    printf("tempDirectory %s\n", tempDirectory);
    printf("unextracted %llu\n", static_cast<unsigned long long>(unextractedPosition()));
    fflush(stdout);
    if (argc > 1 && strcmp(argv[1], "--cleanup") == 0) exitProcessWithCleanup(result);
    ExitProcess(static_cast<UINT>(result));
}
