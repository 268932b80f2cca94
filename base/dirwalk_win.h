// Walking a directory with FindFirstFile/FindNextFile. The walk owns its
// find handle, so no early return or continue leaks it, and it never
// yields the "." and ".." entries.
#pragma once

#include <windows.h>

class DirectoryWalk {
public:
    // Starts a walk over what the pattern (a directory and a wildcard)
    // matches; a pattern that matches nothing gives an empty walk.
    explicit DirectoryWalk(const char* pattern);
    ~DirectoryWalk();
    DirectoryWalk(const DirectoryWalk&) = delete;
    DirectoryWalk& operator=(const DirectoryWalk&) = delete;

    // Moves to the next entry; false once there is none. Call it before
    // the first entry as well:
    //     for (DirectoryWalk walk(pattern); walk.next();) use(walk.entry());
    bool next();
    const WIN32_FIND_DATAA& entry() const { return data_; }

private:
    HANDLE handle_;
    bool pending_;  // data_ holds an entry not yet handed out
    WIN32_FIND_DATAA data_;
};

// One lookup of a single path (no walk): true when it names an existing
// file or directory, with its find data in data.
bool findEntry(const char* path, WIN32_FIND_DATAA& data);
bool findEntryW(const wchar_t* path, WIN32_FIND_DATAW& data);
