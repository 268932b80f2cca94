// The JVM search: location files, the configured sequence, the relative
// pass, earlier installations and the fixed environment variables.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "jvm/version.h"

// True when a jvm.dll is loaded and its JNI_CreateJavaVM entry stored.
bool LoadDLL(bool reportFailures);

struct SearchBounds {
    VersionComponents minimum;
    VersionComponents maximum;
};

// What the search asks of the machine. Each test leaves its java.exe as
// the current candidate, which loadCandidate then tries.
struct SearchHooks {
    // The first line of a file below the application directory (suffix
    // with its leading backslash); false when the file does not open.
    std::function<bool(const wchar_t* suffix, char* line, size_t cap)> readLocationFile;
    // A runtime home; existenceOnly finds java.exe without judging it
    // (true then unless the directory is unusable).
    std::function<bool(const char* directory, const SearchBounds& bounds, bool existenceOnly)> testLocation;
    std::function<bool(const char* name, const SearchBounds& bounds)> testEnvironmentVariable;
    std::function<bool(const SearchBounds& bounds)> testSearchPath;
    std::function<bool(const SearchBounds& bounds)> scanRegistry;
    // The java.exe of an earlier installation (user or machine), or null.
    std::function<const char*(bool machine, const SearchBounds& bounds)> previousInstallation;
    // The candidate's java.exe when it exists, else null.
    std::function<const char*()> existingCandidate;
    // The candidate's version as the version cache knows it, else null.
    std::function<const char*()> cachedCandidateVersion;
    // Loads the candidate's jvm.dll.
    std::function<bool()> loadCandidate;
    // Expands launcher variables in a configured location text in place.
    std::function<void(char* text, size_t cap)> expand;
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
void searchJvmWith(const SearchHooks& hooks, SearchOutcome& outcome);
