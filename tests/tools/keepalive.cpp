// Test tool: sleeps until killed (or for the given number of seconds).
// Wine ends service processes once no ordinary process is left in the
// prefix, so service tests keep one of these running.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    long seconds = argc > 1 ? atol(argv[1]) : 3600;
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}
