#include "launch/expand.h"

// Placeholder until variable expansion lands: texts stay unchanged.
bool expandVariables(char*, size_t) { return true; }
bool expandVariablesW(wchar_t*, size_t, bool) { return true; }
