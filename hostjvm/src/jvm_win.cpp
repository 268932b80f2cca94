// The exports of the stand-in jvm.dll and the invocation interface. Only
// the thread that created the VM may use it; that is the thread the host
// JVM's bridge server stands for.
#include "hostjvm/src/bridge_win.h"

namespace {

bool supportedEnvVersion(jint version) {
    return version == JNI_VERSION_1_1 || version == JNI_VERSION_1_2 || version == JNI_VERSION_1_4 ||
           version == JNI_VERSION_1_6 || version == JNI_VERSION_1_8 || version == JNI_VERSION_9 ||
           version == JNI_VERSION_10;
}

jint JNICALL destroyJavaVm(JavaVM*) { return destroyVm(); }

jint attach(void** penv, const char* function) {
    if (!penv) return JNI_ERR;
    if (vmState() != VmState::running) {
        *penv = nullptr;
        return JNI_ERR;
    }
    if (!isOwnerThread()) {
        reportProblem("%s from a second thread is not supported by the host JVM bridge", function);
        *penv = nullptr;
        return JNI_ERR;
    }
    *penv = mainEnv();
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM*, void** penv, void*) { return attach(penv, "AttachCurrentThread"); }

jint JNICALL attachCurrentThreadAsDaemon(JavaVM*, void** penv, void*) {
    return attach(penv, "AttachCurrentThreadAsDaemon");
}

// The creating thread stays the VM's main thread; detaching it changes nothing.
jint JNICALL detachCurrentThread(JavaVM*) { return isOwnerThread() ? JNI_OK : JNI_EDETACHED; }

jint JNICALL getEnv(JavaVM*, void** penv, jint version) {
    if (!penv) return JNI_ERR;
    *penv = nullptr;
    if (!isOwnerThread()) return JNI_EDETACHED;
    if (!supportedEnvVersion(version)) return JNI_EVERSION;
    *penv = mainEnv();
    return JNI_OK;
}

JavaVM* theVm() {
    static JNIInvokeInterface_ functions = {nullptr, nullptr, nullptr, destroyJavaVm, attachCurrentThread,
                                            detachCurrentThread, getEnv, attachCurrentThreadAsDaemon};
    static JavaVM_ vm = {&functions};
    return &vm;
}

}  // namespace

extern "C" {

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    if (!args) return JNI_ERR;
    jint version = static_cast<JavaVMInitArgs*>(args)->version;
    return supportedEnvVersion(version) && version != JNI_VERSION_1_1 ? JNI_OK : JNI_ERR;
}

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    if (!pvm || !penv || !args) return JNI_ERR;
    const JavaVMInitArgs& initArgs = *static_cast<const JavaVMInitArgs*>(args);
    if (initArgs.nOptions < 0 || (initArgs.nOptions > 0 && !initArgs.options)) return JNI_EINVAL;
    jint result = createVm(initArgs);
    if (result == JNI_OK) {
        *pvm = theVm();
        *penv = mainEnv();
    }
    return result;
}

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vmBuf, jsize bufLen, jsize* nVMs) {
    bool running = vmState() == VmState::running;
    if (nVMs) *nVMs = running ? 1 : 0;
    if (running && vmBuf && bufLen > 0) vmBuf[0] = theVm();
    return JNI_OK;
}

}  // extern "C"
