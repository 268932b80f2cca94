// The order of the JVM search: the two location files, the configured
// sequence, the relative pass, earlier installations and the two fixed
// variables. The first candidate whose jvm.dll loads ends it; the outcome
// remembers how the last accepted candidate was found, for the one message
// shown when none loads.
#include "jvm/search.h"

#include <vector>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/log.h"
#include "core/state.h"
#include "jvm/sequence.h"

namespace {

struct Search {
    SearchHooks& hooks;
    SearchOutcome& outcome;
    SearchBounds bounds;
};

// Records how the accepted candidate was found and tries its jvm.dll.
bool accept(Search& s, int kind, const char* locationText) {
    s.outcome.sourceKind = kind;
    if (locationText) s.outcome.locationText = locationText;
    s.outcome.loaded = s.hooks.loadCandidate();
    return s.outcome.loaded;
}

bool tryLocationFile(Search& s, const wchar_t* suffix, const wchar_t* hasFormat, const wchar_t* usingText) {
    char line[kPathCapacity];
    if (!s.hooks.readLocationFile(suffix, line, kPathCapacity)) return false;
    logLine(hasFormat, line);
    if (!s.hooks.testLocation(line, s.bounds, false)) return false;
    logLine(usingText);
    return accept(s, kSourceDirectory, line);
}

bool tryEntry(Search& s, char letter, const char* text) {
    switch (letter) {
    case 'A':
    case 'B':
    case 'R': return s.hooks.testLocation(text, s.bounds, false) && accept(s, kSourceDirectory, text);
    case 'E': return s.hooks.testEnvironmentVariable(text, s.bounds) && accept(s, kSourceEnvironment, text);
    case 'S': return s.hooks.testSearchPath(s.bounds) && accept(s, kSourceSearchPath, text);
    case 'Y': return s.hooks.scanRegistry(s.bounds) && accept(s, kSourceRegistry, nullptr);
    default: return false;
    }
}

bool firstPass(Search& s, const std::vector<SearchEntry>& entries) {
    for (const SearchEntry& entry : entries) {
        char text[kPathCapacity];
        copyText(text, kPathCapacity, entry.text.c_str());
        s.hooks.expand(text, kPathCapacity);
        logLine(L"Testing location %S (type %c)", text, entry.letter);
        if (tryEntry(s, entry.letter, text)) return true;
    }
    return false;
}

// Entries are revisited by existence alone, with their raw text. The
// version recorded is the loaded runtime's own, as the cache knows it from
// the first pass, never one an earlier refused candidate left behind.
bool relativePass(Search& s, const std::vector<SearchEntry>& entries) {
    for (const SearchEntry& entry : entries) {
        if (!visitedInRelativePass(entry)) continue;
        const char* text = entry.text.c_str();
        logLine(L"Testing relative location %S", text);
        s.hooks.testLocation(text, s.bounds, true);
        const char* javaExe = s.hooks.existingCandidate();
        if (!javaExe) continue;
        logLine(L"%S exists", javaExe);
        if (const char* version = s.hooks.cachedCandidateVersion()) logLine(L"got version from registry %S", version);
        if (accept(s, kSourceDirectory, text)) return true;
    }
    return false;
}

bool previousInstallation(Search& s, bool machine, const wchar_t* format) {
    const char* javaExe = s.hooks.previousInstallation(machine, s.bounds);
    if (!javaExe) return false;
    logLine(format, javaExe);
    return accept(s, kSourceRegistry, nullptr);
}

bool fixedVariable(Search& s, const char* name) {
    return s.hooks.testEnvironmentVariable(name, s.bounds) && accept(s, kSourceEnvironment, name);
}

bool runSearch(Search& s, const char* sequence) {
    if (tryLocationFile(s, L"\\.vantrel\\pref_jre.cfg", L"Has preferred location %S", L"Using preferred location"))
        return true;
    const std::vector<SearchEntry> entries = splitSearchSequence(sequence);
    if (firstPass(s, entries)) return true;
    if (tryLocationFile(s, L"\\.vantrel\\inst_jre.cfg", L"Has installer location %S", L"Using installer location"))
        return true;
    if (relativePass(s, entries)) return true;
    if (previousInstallation(s, false, L"found JRE from previous installation (user) %S")) return true;
    if (previousInstallation(s, true, L"found JRE from previous installation (machine) %S")) return true;
    logLine(L"Search sequence finished");
    return fixedVariable(s, "MORLIN_JAVA_HOME") || fixedVariable(s, "VANTREL_JAVA_HOME");
}

}  // namespace

void searchJvmWith(SearchHooks& hooks, SearchOutcome& outcome) {
    logLine(L"Searching for a JVM");
    outcome.sourceKind = kSourceNone;
    outcome.loaded = false;
    char sequence[kPathCapacity];
    char minimum[kPathCapacity];
    char maximum[kPathCapacity];
    getConfigString(key::SearchSequence, sequence, kPathCapacity);
    getConfigString(key::MinVersion, minimum, kPathCapacity);
    getConfigString(key::MaxVersion, maximum, kPathCapacity);
    logLine(L"MinVersion: %S, MaxVersion: %S", minimum, maximum);
    Search s{hooks, outcome, SearchBounds{parseVersion(minimum), parseVersion(maximum)}};
    runSearch(s, sequence);
}
