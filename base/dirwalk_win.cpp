#include "base/dirwalk_win.h"

#include <cstring>

DirectoryWalk::DirectoryWalk(const char* pattern) : handle_(FindFirstFileA(pattern, &data_)) {
    pending_ = handle_ != INVALID_HANDLE_VALUE;
}

DirectoryWalk::~DirectoryWalk() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
}

bool DirectoryWalk::next() {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    for (;;) {
        if (!pending_ && !FindNextFileA(handle_, &data_)) return false;
        pending_ = false;
        if (strcmp(data_.cFileName, ".") != 0 && strcmp(data_.cFileName, "..") != 0) return true;
    }
}

bool findEntry(const char* path, WIN32_FIND_DATAA& data) {
    HANDLE handle = FindFirstFileA(path, &data);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FindClose(handle);
    return true;
}

bool findEntryW(const wchar_t* path, WIN32_FIND_DATAW& data) {
    HANDLE handle = FindFirstFileW(path, &data);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FindClose(handle);
    return true;
}
