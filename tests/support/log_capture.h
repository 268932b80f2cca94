// A diagnostic log for unit tests: lines are kept in memory so tests can
// assert them. Error lines carry the "ERROR: " prefix as in the real log.
#pragma once

#include <string>
#include <vector>

std::vector<std::wstring>& capturedLog();
void clearCapturedLog();
bool logContains(const std::wstring& line);
