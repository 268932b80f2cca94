// The command line of the service child: the launcher itself again, with
// the service name, its own extra arguments, the start parameters and the
// restart marker.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/cmdline.h"

// Appends a blank and the argument, the argument in double quotes when it
// contains a blank. Quotes inside an argument are not escaped.
bool appendChildArgument(wchar_t* buffer, size_t capacity, const wchar_t* argument);

// Builds the whole command line into the buffer (kLongCapacity in the
// service). ownArguments is the split command line of the service process,
// program path first; startParameters are the SCM arguments after the
// service name. Returns false, with the buffer emptied, when the line does
// not fit: a cut line could lose the restart marker and make the child
// take another role, so a line that does not fit is refused instead.
bool buildChildCommandLine(wchar_t* buffer, size_t capacity, const ArgumentVector& ownArguments,
                           const std::wstring& serviceName, const std::vector<std::wstring>& startParameters);
