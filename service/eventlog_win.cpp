// The one entry a service that gives up leaves in the Application event
// log, where administrators and monitoring look first.
#include <windows.h>

#include "base/text_win.h"
#include "core/log.h"
#include "core/state.h"
#include "service/runtime_win.h"

void reportFailureEvent(const char* text) {
    std::wstring source = widenWhole(CP_ACP, serviceName);
    std::wstring message = widenWhole(CP_ACP, text);
    HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
    if (!log) {
        logError(L"could not open the event log (error %d)", static_cast<int>(GetLastError()));
        return;
    }
    const wchar_t* strings[1] = {message.c_str()};
    // Event id 1: no message file is registered for the source, so the
    // entry carries the whole text as its one insertion string.
    if (ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr))
        logLine(L"reported to the event log: %S", text);
    else
        logError(L"could not report to the event log (error %d)", static_cast<int>(GetLastError()));
    DeregisterEventSource(log);
}
