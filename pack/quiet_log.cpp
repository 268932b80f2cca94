// The block readers that vtlpack shares with the launcher write trace lines
// through the launcher's log; the tool reports problems itself, so those
// lines go nowhere.
#include "core/log.h"

void logLine(const wchar_t*, ...) {}
void logError(const wchar_t*, ...) {}
const wchar_t* logFilePath() { return nullptr; }
