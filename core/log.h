// The diagnostic log. Off unless VANTREL_LOG or MORLIN_LOG is exactly "yes".
// Formats follow the Windows wide conventions ("%s" wide, "%S" narrow); see
// base/bounded.h. Every line is on disk when the call returns.
#pragma once

void logLine(const wchar_t* format, ...);
void logError(const wchar_t* format, ...);

// Full path of the log file, or nullptr while logging is off.
const wchar_t* logFilePath();
