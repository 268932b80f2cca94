// The entry point: start-up, then one of the four roles chosen from the
// command line (service command, foreground run, service child, or a
// service process handed to the Service Control Manager).
#include <windows.h>

#include "base/bounded.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/cmdline.h"
#include "core/console_win.h"
#include "core/launch.h"
#include "core/log.h"
#include "core/state.h"
#include "service/commands.h"
#include "service/runtime_win.h"

namespace {

int runServiceCommand(const CommandRequest& request) {
    switch (request.command) {
    case ServiceCommand::Help:
        printUsage();
        return 0;
    case ServiceCommand::Install: return installService(InstallWord::Install, request);
    case ServiceCommand::InstallAndStart: {
        // Starting what failed to install would start an older
        // registration, or report a second failure over the first.
        int installed = installService(InstallWord::Install, request);
        return installed == 0 ? startService() : installed;
    }
    case ServiceCommand::InstallAuto: return installService(InstallWord::InstallAuto, request);
    case ServiceCommand::InstallDemand: return installService(InstallWord::InstallDemand, request);
    case ServiceCommand::Uninstall: return uninstallService(true);
    case ServiceCommand::Stop: return stopService(true);
    case ServiceCommand::Start: return startService();
    case ServiceCommand::Status: return printServiceStatus();
    case ServiceCommand::None: break;
    }
    return 0;
}

int runRole() {
    const wchar_t* commandLine = GetCommandLineW();
    logLine(L"command line2 %s", commandLine);
    ArgumentVector arguments;
    splitCommandLine(commandLine, arguments);
    if (!arguments.empty()) arguments.erase(arguments.begin());

    if (!arguments.empty() && arguments.back() == L"__vtl_restart") {
        arguments.pop_back();
        runLaunchSequence(arguments, true);
        return 0;
    }
    if (!arguments.empty()) {
        const std::wstring& first = arguments.front();
        if (first == L"/run" || first == L"-run" || first == L"--run") {
            logLine(L"running service");
            noRedirect = true;
            serviceMode = false;
            arguments.erase(arguments.begin());
            runLaunchSequence(arguments, false);
            return 0;
        }
        if (first == L"/run-redirect" || first == L"-run-redirect" || first == L"--run-redirect") {
            logLine(L"running service with redirection");
            serviceMode = false;
            arguments.erase(arguments.begin());
            runLaunchSequence(arguments, false);
            return 0;
        }
    }
    logLine(L"calling StartServiceCtrlDispatcher");
    SERVICE_TABLE_ENTRYA table[2] = {{serviceName, serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        DWORD error = GetLastError();
        logLine(L"StartServiceCtrlDispatcher failed with error %d", static_cast<int>(error));
        // No SCM started this process: a mistyped command word or a plain
        // start from a console. That is a usage error, not a finished run.
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            attachOutputToParentConsole();
            printUsageToStandardError();
            return 1;
        }
    }
    logLine(L"StartServiceCtrlDispatcher returned");
    awaitServiceThread();
    return 0;
}

}  // namespace

int main() {
    serviceMode = true;
    initLauncher();
    getConfigString(key::ServiceName, serviceName, kPathCapacity);

    const char* tail = skipProgramName(GetCommandLineA());
    CommandRequest request = parseCommandTail(tail);
    if (request.hasServiceName) copyText(serviceName, kPathCapacity, request.serviceName.c_str());
    if (request.command != ServiceCommand::None) {
        attachOutputToParentConsole();
        return runServiceCommand(request);
    }
    return runRole();
}
