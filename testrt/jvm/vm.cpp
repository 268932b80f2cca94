// The invocation side of the test jvm.dll: the exported entries, the VM
// and environment tables, and the checks every JNI function makes.
#include <cstdio>

#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

namespace {

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;
JNIEnv_ theEnv;
JavaVM_ theVm;
bool created = false;
bool destroyed = false;
DWORD creatorThread = 0;
Object* pending = nullptr;

void warn(const std::string& text) {
    traceLine("warning " + quoteBytes(text.c_str()));
}

std::string hexVersion(jint version) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(version));
    return text;
}

bool versionSupported(jint version) {
    switch (version) {
        case JNI_VERSION_1_1: case JNI_VERSION_1_2: case JNI_VERSION_1_4: case JNI_VERSION_1_6:
        case JNI_VERSION_1_8: case JNI_VERSION_9: case JNI_VERSION_10: return true;
        default: return false;
    }
}

// Microseconds from the creation of this process to now.
long long microsecondsSinceProcessStart() {
    FILETIME creation, exitTime, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user)) return -1;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER a, b;
    a.LowPart = creation.dwLowDateTime;
    a.HighPart = creation.dwHighDateTime;
    b.LowPart = now.dwLowDateTime;
    b.HighPart = now.dwHighDateTime;
    return static_cast<long long>(b.QuadPart - a.QuadPart) / 10;
}

jint JNICALL destroyJavaVm(JavaVM*) {
    if (!created || destroyed) {
        traceLine("DestroyJavaVM => -1");
        return JNI_ERR;
    }
    enter("DestroyJavaVM", true);
    // DestroyJavaVM returns when the last non-daemon thread has ended; the
    // script stands for such a thread with a wait.
    long long waited = script().destroyWaitMs;
    if (waited > 0) Sleep(static_cast<DWORD>(waited));
    destroyed = true;
    traceLine("DestroyJavaVM " + std::to_string(waited) + " => 0");
    return JNI_OK;
}

jint JNICALL getEnv(JavaVM*, void** penv, jint version) {
    jint result = !created || destroyed ? JNI_EDETACHED : versionSupported(version) ? JNI_OK : JNI_EVERSION;
    if (penv) *penv = result == JNI_OK ? &theEnv : nullptr;
    traceLine("GetEnv " + hexVersion(version) + " => " + std::to_string(result));
    return result;
}

jint JNICALL attachCurrentThread(JavaVM*, void** penv, void*) {
    jint result = !created || destroyed ? JNI_ERR : JNI_OK;
    if (penv) *penv = result == JNI_OK ? &theEnv : nullptr;
    bool same = GetCurrentThreadId() == creatorThread;
    traceLine(std::string("AttachCurrentThread ") + (same ? "main" : "other") + " => " + std::to_string(result));
    return result;
}

void setUpTables() {
    fillUnimplemented(reinterpret_cast<void**>(&envTable), sizeof envTable / sizeof(void*), false);
    fillUnimplemented(reinterpret_cast<void**>(&vmTable), sizeof vmTable / sizeof(void*), true);
    fillEnvTable(envTable);
    fillCallTable(envTable);
    vmTable.DestroyJavaVM = destroyJavaVm;
    vmTable.GetEnv = getEnv;
    vmTable.AttachCurrentThread = attachCurrentThread;
    theEnv.functions = &envTable;
    theVm.functions = &vmTable;
}

void traceOptions(const JavaVMInitArgs& args) {
    for (jint i = 0; i < args.nOptions; ++i) {
        const JavaVMOption& option = args.options[i];
        traceLine("option " + std::to_string(i) + " " + quoteBytes(option.optionString) +
                  (option.extraInfo ? " extra" : ""));
    }
}

}  // namespace

void enter(const char* function, bool allowedWithPending) {
    if (!created) failMisuse(std::string(function) + " called before JNI_CreateJavaVM");
    if (destroyed) warn(std::string(function) + " called after DestroyJavaVM");
    if (GetCurrentThreadId() != creatorThread) warn(std::string(function) + " called from another thread");
    if (pending && !allowedWithPending) warn(std::string(function) + " called with an exception pending");
}

Object* pendingException() {
    return pending;
}

void setPending(Object* exception) {
    pending = exception;
}

void throwNew(const std::string& toStringText) {
    pending = newThrowable(toStringText);
}

void tracePending() {
    if (pending) traceLine("pending " + quoteUtf16(pending->text));
}

bool vmDestroyed() {
    return destroyed;
}

JNIEnv* testEnv() {
    return &theEnv;
}

JavaVM* testVm() {
    return &theVm;
}

jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    script();
    JavaVMInitArgs* init = static_cast<JavaVMInitArgs*>(args);
    jint result = init && versionSupported(init->version) ? JNI_OK : JNI_EVERSION;
    traceLine("JNI_GetDefaultJavaVMInitArgs => " + std::to_string(result));
    return result;
}

jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize capacity, jsize* count) {
    script();
    jsize found = created && !destroyed ? 1 : 0;
    if (count) *count = found;
    if (vms && capacity > 0 && found) vms[0] = &theVm;
    traceLine("JNI_GetCreatedJavaVMs " + std::to_string(capacity) + " => " + std::to_string(found));
    return JNI_OK;
}

jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    long long startup = microsecondsSinceProcessStart();
    const Script& s = script();
    wchar_t* commandLine = GetCommandLineW();
    traceLine("process " + std::to_string(GetCurrentProcessId()) + " " +
              quoteUtf16(std::u16string(commandLine, commandLine + wcslen(commandLine))));
    traceLine("script " + (s.path.empty() ? std::string("none") : quoteUtf8(toUtf8(s.path))));
    traceLine("startup-us " + std::to_string(startup));
    const JavaVMInitArgs* init = static_cast<const JavaVMInitArgs*>(args);
    if (!pvm || !penv || !init || init->nOptions < 0 || (init->nOptions > 0 && !init->options)) {
        traceLine("JNI_CreateJavaVM invalid => -6");
        return JNI_EINVAL;
    }
    traceOptions(*init);
    // A real VM's jvm.dll finds the libraries beside it in bin (the C
    // runtime, java.dll) through the DLL search path, PATH included.
    for (const std::string& name : s.loadLibraries) {
        HMODULE library = LoadLibraryA(name.c_str());
        traceLine("load-library " + quoteUtf8(name) + " => " + (library ? "true" : "false"));
    }
    std::string head = "JNI_CreateJavaVM " + hexVersion(init->version) + " " + std::to_string(init->nOptions) + " " +
                       (init->ignoreUnrecognized ? "true" : "false");
    jint result = JNI_OK;
    if (created) result = JNI_EEXIST;  // one VM per process
    else if (!versionSupported(init->version)) result = JNI_EVERSION;
    else if (s.createResult != 0) result = static_cast<jint>(s.createResult);
    traceLine(head + " => " + std::to_string(result));
    if (result != JNI_OK && !s.createStderr.empty()) {
        HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (error && error != INVALID_HANDLE_VALUE)
            WriteFile(error, s.createStderr.data(), static_cast<DWORD>(s.createStderr.size()), &written, nullptr);
    }
    if (result != JNI_OK) return result;
    setUpTables();
    created = true;
    creatorThread = GetCurrentThreadId();
    *pvm = &theVm;
    *penv = &theEnv;
    return JNI_OK;
}
