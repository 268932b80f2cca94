// The JVM search: location files, the configured sequence, the relative
// pass, earlier installations and the fixed environment variables.
#pragma once

#include <cstddef>
#include <string>

#include "jvm/version.h"

// True when a jvm.dll is loaded and its JNI_CreateJavaVM entry stored.
bool LoadDLL(bool reportFailures);

struct SearchBounds {
    VersionComponents minimum;
    VersionComponents maximum;
};

// What the search asks of the machine (an interface rather than a set of
// std::function: it costs the launcher stub far less). Each test leaves
// its java.exe as the current candidate, which loadCandidate then tries.
struct SearchHooks {
    virtual ~SearchHooks() = default;
    // The first line of a file below the application directory (suffix
    // with its leading backslash); false when the file does not open.
    virtual bool readLocationFile(const wchar_t* suffix, char* line, size_t cap) = 0;
    // A runtime home; existenceOnly finds java.exe without judging it
    // (true then unless the directory is unusable).
    virtual bool testLocation(const char* directory, const SearchBounds& bounds, bool existenceOnly) = 0;
    virtual bool testEnvironmentVariable(const char* name, const SearchBounds& bounds) = 0;
    virtual bool testSearchPath(const SearchBounds& bounds) = 0;
    virtual bool scanRegistry(const SearchBounds& bounds) = 0;
    // The java.exe of an earlier installation (user or machine), or null.
    virtual const char* previousInstallation(bool machine, const SearchBounds& bounds) = 0;
    // The candidate's java.exe when it exists, else null.
    virtual const char* existingCandidate() = 0;
    // The candidate's version as the version cache knows it, else null.
    virtual const char* cachedCandidateVersion() = 0;
    // Loads the candidate's jvm.dll.
    virtual bool loadCandidate() = 0;
    // Expands launcher variables in a configured location text in place.
    virtual void expand(char* text, size_t cap) = 0;
};

// How the search ended. sourceKind and locationText describe the last
// accepted candidate (kSourceNone when none was); locationText is kept
// from an earlier accepted candidate when the last one had none.
struct SearchOutcome {
    int sourceKind = 0;
    std::string locationText;
    bool loaded = false;
};

// Portable: the whole order of the search, from the configured bounds and
// sequence. Stops at the first candidate whose jvm.dll loads.
void searchJvmWith(SearchHooks& hooks, SearchOutcome& outcome);
