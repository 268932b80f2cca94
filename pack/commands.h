// The vtlpack command line: build, inspect, init and help. Returns the exit
// code: 0 success, 1 failure (bad input, no block, nothing written),
// 2 wrong command-line usage.
#pragma once

#include <ostream>
#include <string>
#include <vector>

int runVtlpack(const std::vector<std::string>& args, const char* argv0, std::ostream& out, std::ostream& err);
