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

// Pieces of a separated list; empty pieces are skipped.
std::vector<std::string> splitList(const char* text, char separator);
