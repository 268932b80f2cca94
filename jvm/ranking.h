// Ranking of runtimes found in the registry. Pure functions.
#pragma once

#include <string>
#include <vector>

#include "jvm/version.h"

enum class Candidate { None, First, Second };

// Of two scan results, the first wins only when its version is newer than
// the second's; equal versions go to the second.
Candidate chooseCandidate(bool firstFound, const char* firstVersion, bool secondFound, const char* secondVersion);

// JavaSoft version subkey names in the order they are tried: those the
// bounds admit leniently, greatest first by plain byte-wise comparison
// (not by version value: "1.8.0_45" is tried before "1.8.0_121").
std::vector<std::string> orderVersionNames(const std::vector<std::string>& names, const VersionComponents& minimum,
                                           const VersionComponents& maximum);

// The JavaSoft registrations of runtimes and of development kits.
extern const char kJavaSoftJreKey[];
extern const char kJavaSoftJdkKey[];

// The key whose JavaHome the CurrentVersion texts point to (null: the
// value could not be read). A text counts only inside the bounds, the
// runtime's only when a runtime may do; the kit's wins only when newer.
// With neither, the runtime key itself (followed by a backslash). False
// when the path was cut.
bool currentVersionKeyPath(const char* jdkVersion, const char* jreVersion, bool requireJdk,
                           const VersionComponents& minimum, const VersionComponents& maximum, char* keyPath,
                           size_t cap);

// The JavaSoft keys whose version subkeys are scanned, in order, and how many.
size_t javaSoftScanKeys(bool requireJdk, const char* keys[2]);

// A located runtime's subkey name as its java.exe path (slashes become
// backslashes); false when only the application's own runtimes count and
// this is none of them.
bool locatedJavaExe(const std::string& name, bool ownRuntimesOnly, char* javaExe, size_t cap);

// The homes of the runtimes an earlier installation brought: the "jre"
// folder of each directory in the list.
std::vector<std::string> installationHomes(const char* list);

// Pieces of a separated list; empty pieces are skipped.
std::vector<std::string> splitList(const char* text, char separator);
