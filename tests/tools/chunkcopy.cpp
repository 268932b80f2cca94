// Benchmark reference for extraction: the bare Win32 copy loop with a given
// chunk size, unmasking each chunk as the launcher does, and nothing else.
// It shows how much of the extraction time is the chunk size itself.
//
//   chunkcopy.exe SOURCE TARGET CHUNK_BYTES   prints "copy-us N"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/extract_win.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || _wtoi(argv[3]) <= 0) {
        fprintf(stderr, "usage: chunkcopy SOURCE TARGET CHUNK_BYTES\n");
        return 2;
    }
    DWORD chunk = static_cast<DWORD>(_wtoi(argv[3]));
    std::vector<unsigned char> buffer(chunk);
    HANDLE source = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE target = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE || target == INVALID_HANDLE_VALUE) return 3;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD got = 0;
    while (ReadFile(source, buffer.data(), chunk, &got, nullptr) && got > 0) {
        unmaskBytes(buffer.data(), got);
        DWORD put = 0;
        if (!WriteFile(target, buffer.data(), got, &put, nullptr) || put != got) return 4;
    }
    CloseHandle(target);
    QueryPerformanceCounter(&end);
    CloseHandle(source);
    printf("copy-us %lld\n", static_cast<long long>((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart));
    return 0;
}
