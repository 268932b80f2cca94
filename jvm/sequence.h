// The configured search sequence and the choice of the one failure message.
// Pure functions; the search itself lives in search_win.cpp.
#pragma once

#include <string>
#include <vector>

// How the last accepted candidate was found.
enum SourceKind { kSourceNone = 0, kSourceSearchPath = 1, kSourceDirectory = 2, kSourceEnvironment = 3,
                  kSourceRegistry = 4 };

struct SearchEntry {
    char letter;       // the type letter, compared exactly (upper case)
    std::string text;  // the rest of the entry
};

// Entries separated by ";"; empty entries are skipped.
std::vector<SearchEntry> splitSearchSequence(const char* sequence);

// The relative pass visits B always, A and R only when not absolute.
bool visitedInRelativePass(const SearchEntry& entry);

// What LoadDLL shows when nothing loaded. The argument is the width text,
// the location text, or nothing.
enum class FailureArgument { Width, Location, None };
struct FailureMessage {
    int id;
    FailureArgument argument;
    const wchar_t* width;  // "32" or "64" for FailureArgument::Width
};
FailureMessage failureMessageFor(int sourceKind, bool sixtyFourBit);
