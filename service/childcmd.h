// The command line of the service child: the launcher itself again, with
// the service name, its own extra arguments, the start parameters and the
// restart marker.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/cmdline.h"

enum class ChildLineResult {
    Built,
    TooLong,     // the line does not fit the buffer
    Unquotable,  // an argument holds both quote characters
};

// Whether the argument can be written for splitCommandLine at all.
bool childArgumentQuotable(const wchar_t* argument);

// Builds the whole command line into the buffer (kLongCapacity in the
// service). ownArguments is the split command line of the service process,
// program path first; startParameters are the SCM arguments after the
// service name. On failure the buffer is emptied and *offending (when
// given) names the argument that could not be written: a cut or
// mis-split line could lose the restart marker and make the child take
// another role, so such a line is refused instead.
ChildLineResult buildChildCommandLine(wchar_t* buffer, size_t capacity, const ArgumentVector& ownArguments,
                                      const std::wstring& serviceName,
                                      const std::vector<std::wstring>& startParameters,
                                      std::wstring* offending = nullptr);
