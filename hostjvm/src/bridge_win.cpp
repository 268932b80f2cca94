#include "hostjvm/src/bridge_win.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "base/bounded.h"
#include "hostjvm/src/hostopts.h"
#include "hostjvm/src/unixpath_win.h"

namespace {

constexpr wchar_t kServerJar[] = L"vtlhostjvm.jar";
constexpr wchar_t kWrapperScript[] = L"vtl-hostjava";
constexpr char kServerClass[] = "com.vantrel.hostjvm.BridgeServer";
constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kOutputTimeoutMs = 5000;
constexpr DWORD kStatusGraceMs = 15000;

enum class HostEnd : LONG { running = 0, exited = 1, lost = 2 };

// The one VM of this process. Allocated once and never freed, so no
// destructor runs while relay threads may still use it.
struct VmRecord {
    VmState state = VmState::fresh;
    HostLink link;
    DWORD owner = 0;
    HANDLE hostEnded = nullptr;       // set by the monitor when java ended
    volatile LONG destroying = 0;     // DestroyJavaVM waits for that end
    volatile LONG endKind = 0;        // HostEnd
    volatile LONG endStatus = 0;
    bool pending = false;
    JNINativeInterface_ functions;
    JNIEnv_ env;
};

VmRecord& vm() {
    static VmRecord* record = new VmRecord();
    return *record;
}

// Waits for java's exit status. An end the VM's owner waits for
// (DestroyJavaVM, status 0) goes back to it; any other end is the end of
// this process, as System.exit or a crash would end a VM inside it.
DWORD WINAPI monitorHost(void*) {
    VmRecord& r = vm();
    int status = 0;
    StatusOutcome outcome = readExitStatus(r.link, INFINITE, status);
    traceStep("host JVM ended (%s, status %d)", outcome == StatusOutcome::exited ? "exited" : "lost", status);
    r.endStatus = status;
    InterlockedExchange(&r.endKind, static_cast<LONG>(outcome == StatusOutcome::exited ? HostEnd::exited : HostEnd::lost));
    bool awaited = outcome == StatusOutcome::exited && status == 0 && r.destroying;
    SetEvent(r.hostEnded);
    if (awaited) return 0;
    finishOutput(r.link, kOutputTimeoutMs);
    if (outcome != StatusOutcome::exited) {
        reportProblem("lost the connection to the host JVM");
        ExitProcess(1);
    }
    // exit() rather than ExitProcess: the launcher's buffered output and
    // exit handlers run, as they do when a VM inside it calls exit.
    std::exit(status);
}

// The control connection broke: java is ending (System.exit, whose
// shutdown hooks may take their time, or a crash). The monitor learns how
// it ended, from the status connection, and ends the process; this thread
// only waits for that.
[[noreturn]] void hostGone(const char* function) {
    VmRecord& r = vm();
    traceStep("control connection ended during %s", function);
    WaitForSingleObject(r.hostEnded, INFINITE);
    Sleep(kStatusGraceMs);
    ExitProcess(r.endKind == static_cast<LONG>(HostEnd::exited) ? static_cast<UINT>(r.endStatus) : 1);
}

// One round trip; false when the connection broke.
bool exchange(const char* function, const FrameWriter& request, Reply& reply) {
    VmRecord& r = vm();
    std::vector<uint8_t> frame(4 + request.bytes.size());
    putFrameLength(frame.data(), static_cast<uint32_t>(request.bytes.size()));
    if (!request.bytes.empty()) std::memcpy(frame.data() + 4, request.bytes.data(), request.bytes.size());
    uint8_t head[4];
    if (!sendAll(r.link.control, frame.data(), frame.size()) || !receiveAll(r.link.control, head, 4)) return false;
    uint32_t length = getFrameLength(head);
    if (length == 0 || length > kMaxFrame) fatalJni("%s: malformed reply from the host JVM", function);
    reply.body.resize(length);
    if (!receiveAll(r.link.control, reply.body.data(), length)) return false;
    reply.reader = FrameReader(reply.body.data(), reply.body.size());
    reply.flags = reply.reader.u8();
    // Whatever Java printed during the call goes out before the caller
    // continues, in the order a VM inside the process would give.
    drainOutputNow(r.link);
    if (reply.flags & kFlagFault) fatalJni("%s: %s", function, reply.reader.text().c_str());
    r.pending = (reply.flags & kFlagPending) != 0;
    return true;
}

std::string ansiToUtf8(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::string();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return toUtf8(wide);
}

bool supportedVersion(jint version) {
    return version == JNI_VERSION_1_2 || version == JNI_VERSION_1_4 || version == JNI_VERSION_1_6 ||
           version == JNI_VERSION_1_8 || version == JNI_VERSION_9 || version == JNI_VERSION_10;
}

std::wstring ownFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownFolder), &self);
    return moduleFolder(self);
}

// The host java's arguments: the translated options, then the server.
bool hostArguments(const JavaVMInitArgs& args, std::vector<std::string>& out, std::vector<PropertyFixup>& fixups) {
    std::vector<std::string> options;
    for (jint i = 0; i < args.nOptions; ++i) {
        if (args.options[i].optionString) options.push_back(ansiToUtf8(args.options[i].optionString));
    }
    HostOptions host;
    std::string error;
    // Path lists travel with a separator no path holds; the wrapper makes
    // them Java lists (see vtl-hostjava).
    if (!buildHostOptions(options, args.ignoreUnrecognized != JNI_FALSE, '\x1f', translateUtf8Path, nullptr, host,
                          error)) {
        // Worded as the VM words it.
        std::string line = error + "\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return false;
    }
    std::wstring folder = ownFolder();
    std::string jar;
    if (folder.empty() || GetFileAttributesW((folder + kServerJar).c_str()) == INVALID_FILE_ATTRIBUTES ||
        !unixPathOf(folder + kServerJar, jar)) {
        reportProblem("the bridge server %S is missing beside jvm.dll (or this is not Wine)", (folder + kServerJar).c_str());
        return false;
    }
    out = host.vmArgs;
    out.push_back("-Xbootclasspath/a:" + jar);
    out.push_back(kServerClass);
    fixups = host.fixups;
    return true;
}

void sendFixups(const std::vector<PropertyFixup>& fixups) {
    FrameWriter w;
    w.u8(kOpInit);
    w.i32(static_cast<int32_t>(fixups.size()));
    for (const PropertyFixup& f : fixups) {
        w.text(f.key);
        w.u8(f.present ? 1 : 0);
        w.text(f.value);
    }
    Reply reply;
    transact("JNI_CreateJavaVM", w, reply);
}

}  // namespace

VmState vmState() { return vm().state; }

JNIEnv* mainEnv() { return &vm().env; }

bool isOwnerThread() { return vm().state == VmState::running && GetCurrentThreadId() == vm().owner; }

bool exceptionPending() { return vm().pending; }

void fatalJni(const char* format, ...) {
    char text[2000];
    va_list args;
    va_start(args, format);
    vformatText(text, sizeof text, format, args);
    va_end(args);
    reportProblem("%s", text);
    ExitProcess(1);
}

void enterJni(const char* function) {
    VmRecord& r = vm();
    if (r.state != VmState::running) {
        fatalJni("JNI function %s called %s", function,
                 r.state == VmState::destroyed ? "after DestroyJavaVM" : "without a running VM");
    }
    if (GetCurrentThreadId() != r.owner) {
        fatalJni("JNI function %s called from a second thread; the host JVM bridge serves only the thread "
                 "that created the VM", function);
    }
}

void transact(const char* function, const FrameWriter& request, Reply& reply) {
    if (!exchange(function, request, reply)) hostGone(function);
}

void expectComplete(const char* function, const Reply& reply) {
    if (!reply.reader.ok) fatalJni("%s: malformed reply from the host JVM", function);
}

jint createVm(const JavaVMInitArgs& args) {
    VmRecord& r = vm();
    if (r.state == VmState::running) return JNI_EEXIST;
    if (r.state != VmState::fresh) return JNI_ERR;  // one VM per process, never a second try
    if (!supportedVersion(args.version)) return JNI_EVERSION;
    r.state = VmState::failed;

    HostStart start;
    std::vector<PropertyFixup> fixups;
    if (!hostArguments(args, start.javaArguments, fixups)) return JNI_ERR;
    start.wrapperPath = ownFolder() + kWrapperScript;
    start.withControl = true;
    start.timeoutMs = kStartTimeoutMs;

    int status = 0;
    StartOutcome outcome = startHost(start, r.link, status);
    if (outcome != StartOutcome::ready) {
        // The host VM refused its options or could not start: its own
        // messages go out; creation fails as it would inside.
        if (outcome == StartOutcome::hostEnded) finishOutput(r.link, kOutputTimeoutMs);
        releaseHeldErrors(r.link, true);
        closeLink(r.link);
        return JNI_ERR;
    }
    releaseHeldErrors(r.link, false);
    r.hostEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    r.owner = GetCurrentThreadId();
    r.state = VmState::running;
    installStubs(r.functions);
    installEnvFunctions(r.functions);
    installCallFunctions(r.functions);
    r.env.functions = &r.functions;
    HANDLE monitor = CreateThread(nullptr, 0, monitorHost, nullptr, 0, nullptr);
    if (!r.hostEnded || !monitor) {
        reportProblem("cannot start the host JVM monitor");
        closeLink(r.link);
        r.state = VmState::failed;
        return JNI_ERR;
    }
    CloseHandle(monitor);
    sendFixups(fixups);
    traceStep("VM created");
    return JNI_OK;
}

jint destroyVm() {
    VmRecord& r = vm();
    if (r.state != VmState::running || GetCurrentThreadId() != r.owner) return JNI_ERR;
    InterlockedExchange(&r.destroying, 1);
    FrameWriter w;
    w.u8(kOpDestroy);
    Reply reply;
    // The reply may be lost to a thread's System.exit racing it; the end
    // is what counts.
    exchange("DestroyJavaVM", w, reply);
    traceStep("DestroyJavaVM: waiting for the host JVM to end");
    // The host VM now waits for its non-daemon threads and exits; the
    // monitor tells when. An end with another status ends this process.
    WaitForSingleObject(r.hostEnded, INFINITE);
    if (r.endKind != static_cast<LONG>(HostEnd::exited) || r.endStatus != 0) {
        // A thread called System.exit with a status, or java was lost:
        // the monitor ends the process.
        hostGone("DestroyJavaVM");
    }
    finishOutput(r.link, kOutputTimeoutMs);
    closeLink(r.link);
    r.state = VmState::destroyed;
    traceStep("DestroyJavaVM done");
    return JNI_OK;
}
