// Test tool: holds a named semaphore until its standard input ends, so a
// test can stand in for a running instance under a name it computed itself.
//
//   semhold.exe NAME
// Prints "code N pid P" (N: the last error of CreateSemaphoreA) when held.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: semhold NAME\n");
        return 120;
    }
    SetLastError(ERROR_SUCCESS);
    HANDLE h = CreateSemaphoreA(nullptr, 1, 1, argv[1]);
    DWORD error = GetLastError();
    if (!h) {
        fprintf(stderr, "semhold: CreateSemaphoreA failed (%lu)\n", error);
        return 121;
    }
    printf("code %lu pid %lu\n", error, GetCurrentProcessId());
    fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    CloseHandle(h);
    return 0;
}
