// The stand-in runtime's bin\java.exe: runs the host's java with the same
// arguments through the wrapper beside jvm.dll, relays its standard
// streams and ends with its exit code. A launcher that asks for
// "java.exe -version" therefore reads the host's real version line.
#include "hostjvm/src/link_win.h"
#include "hostjvm/src/unixpath_win.h"

int wmain(int argc, wchar_t** argv) {
    HostStart start;
    start.wrapperPath = moduleFolder(nullptr) + L"server\\vtl-hostjava";
    for (int i = 1; i < argc; ++i) start.javaArguments.push_back(toUtf8(argv[i]));
    start.withControl = false;

    HostLink link;
    int status = 1;
    StartOutcome outcome = startHost(start, link, status);
    if (outcome == StartOutcome::failed) return 1;
    if (outcome == StartOutcome::ready) {
        StatusOutcome end = readExitStatus(link, INFINITE, status);
        if (end != StatusOutcome::exited) {
            finishOutput(link, 5000);
            reportProblem("lost the connection to the host java");
            return 1;
        }
    }
    finishOutput(link, 5000);
    closeLink(link);
    return status;
}
