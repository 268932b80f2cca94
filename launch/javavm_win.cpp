#include <windows.h>

#include <jni.h>

#include <cstdlib>
#include <vector>

#include "base/bounded.h"
#include "base/environment_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/extract_win.h"
#include "files/paths.h"
#include "files/temp.h"
#include "jvm/loading_win.h"
#include "launch/expand.h"
#include "launch/javavm.h"
#include "launch/jni_errors.h"
#include "launch/launchargs.h"
#include "launch/runtime_contract.h"
#include "launch/vmargs.h"

namespace {

constexpr size_t kFixedArgumentsCapacity = 2000;


LauncherPropertyValues gatherPropertyValues() {
    LauncherPropertyValues values;
    values.semaphoreName = semaphoreName ? semaphoreName : "";
    values.family = launcherFamily;
    values.serviceMode = serviceMode;
    values.modulePath = getModulePath();
    values.tempDirectory = tempDirectory;
    values.unextractedPosition = unextractedPosition();
    values.hasPath = readEnvironmentA("PATH", values.path) == EnvironmentRead::Found;
    // As the run-time library sees the environment.
    values.hasConsoleCodepage = getenv("MANPATH") == nullptr;
    values.consoleCodepage = GetConsoleOutputCP();
    return values;
}

std::wstring redirectionFile(int flagKey, int nameKey) {
    if (getConfigInt(flagKey) == 0) return std::wstring();
    std::vector<wchar_t> name(kPathCapacity);
    getConfigWide(nameKey, name.data(), name.size());
    expandVariablesW(name.data(), name.size(), false);
    if (isVerbatimRedirection(name.data())) return name.data();
    std::vector<wchar_t> absolute(kPathCapacity);
    absolutePathW(absolute.data(), absolute.size(), name.data(), true, false);
    return absolute.data();
}

ArgumentVector launcherArguments(const ArgumentVector& arguments) {
    LauncherArgumentValues values;
    values.executableType = getConfigInt(key::ExecutableType);
    std::vector<wchar_t> mainClass(kPathCapacity);
    getConfigWide(key::MainClass, mainClass.data(), mainClass.size());
    values.mainClass = mainClass.data();
    values.errorFile = redirectionFile(key::RedirectErrFlag, key::RedirectErrFile);
    values.outputFile = redirectionFile(key::RedirectOutFlag, key::RedirectOutFile);
    values.runtimeFlag = getConfigInt(key::RuntimeFlag106) != 0;

    wchar_t fixed[kFixedArgumentsCapacity];
    getConfigWide(key::FixedArguments, fixed, kFixedArgumentsCapacity);
    expandVariablesW(fixed, kFixedArgumentsCapacity, false);
    ArgumentVector fixedArguments;
    splitCommandLine(fixed, fixedArguments);
    return buildLauncherArguments(values, arguments, fixedArguments,
                                  getConfigInt(key::JavaArgumentsAsVmOptions) != 0);
}

// The VM is out of memory; there is no sensible way to go on.
[[noreturn]] void failArgumentArray(JNIEnv* env, const wchar_t* what) {
    logError(L"could not build the argument array: %s", what);
    checkJavaException(env, false);
    fatalInternalError(InternalError::ArgumentArrayNotBuilt);
}

jobjectArray newStringArray(JNIEnv* env, const ArgumentVector& parameters) {
    jclass stringClass = env->FindClass(kStringClass);
    if (!stringClass) failArgumentArray(env, L"no String class");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(parameters.size()), stringClass, nullptr);
    if (!array) failArgumentArray(env, L"NewObjectArray failed");
    env->DeleteLocalRef(stringClass);
    for (size_t i = 0; i < parameters.size(); ++i) {
        logLine(L"param %d: %s", static_cast<int>(i), parameters[i].c_str());
        jstring text = env->NewString(reinterpret_cast<const jchar*>(parameters[i].c_str()),
                                      static_cast<jsize>(parameters[i].size()));
        if (!text) failArgumentArray(env, L"NewString failed");
        env->SetObjectArrayElement(array, static_cast<jsize>(i), text);
        // The array holds the string now. A VM grants a native frame only
        // a limited number of local references, fewer than the arguments
        // a command line can carry.
        env->DeleteLocalRef(text);
    }
    return array;
}

}  // namespace

bool createJavaVm(const ArgumentVector& arguments, const OptionList& launcherProperties) {
    JavaVMInitArgs* args = buildVmInitArgs(arguments, launcherProperties);
    logLine(L"Creating JVM");
    if (!createJavaVMEntry) {
        logError(L"no JNI_CreateJavaVM entry");
        return false;
    }
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint result = createJavaVMEntry(&vm, reinterpret_cast<void**>(&env), args);
    if (result != 0) {
        logError(L"JNI_CreateJavaVM returned %d", static_cast<int>(result));
        return false;
    }
    javaVm = vm;
    mainEnv = env;
    return true;
}

bool invokeLauncherMain(JNIEnv* env, const ArgumentVector& arguments) {
    if (launcherFamily == 'v') {
        FirstRunOutcome firstRun = runFirstRunCheck(env);
        if (firstRun != FirstRunOutcome::goOn) {
            logLine(L"checkFirstRun stopped further execution");
            // An answer of false is the step's own decision; an exception
            // is a failure, and the application never ran.
            return firstRun == FirstRunOutcome::stop;
        }
    }
    char name[kPathCapacity];
    copyText(name, kPathCapacity, launcherFamily == 'v' ? kVantrelLauncherClass : kMorlinLauncherClass);
    for (char* p = name; *p; ++p)
        if (*p == '.') *p = '/';
    logLine(L"main class: %S", name);

    jclass cls = env->FindClass(name);
    if (!cls) {
        logError(L"could not find main class");
        checkJavaException(env, false);
        fatalMessage(msg::MainClassNotFound, nullptr);
    }
    jmethodID mainMethod = env->GetStaticMethodID(cls, kMainMethod, kMainSignature);
    if (!mainMethod) {
        logError(L"could not find main method");
        checkJavaException(env, false);
        fatalMessage(msg::MainMethodNotFound, nullptr);
    }
    ArgumentVector parameters = launcherArguments(arguments);
    logLine(L"param count: %d", static_cast<int>(parameters.size()));
    jobjectArray array = newStringArray(env, parameters);

    logLine(L"calling main");
    env->CallStaticVoidMethod(cls, mainMethod, array);
    logLine(L"main returned");
    return checkJavaException(env, true);
}

bool launchApplication(const ArgumentVector& arguments, bool destroyAfterMain) {
    logLine(L"launching program");
    OptionList properties = buildLauncherProperties(gatherPropertyValues());
    if (!createJavaVm(arguments, properties)) {
        logError(L"could not initialize JVM");
        return false;
    }
    logLine(L"JVM created");
    passSplashConfiguration(mainEnv);
    loadHelperLibrary(mainEnv);
    bool completed = invokeLauncherMain(mainEnv, arguments);
    if (!completed) logError(L"could not call main");
    // After a failure too the VM ends as the JDK's own launcher ends it:
    // shutdown hooks run and the other non-daemon threads finish before
    // the process exits with the failure's code.
    if (destroyAfterMain) {
        logLine(L"dest JVM");
        javaVm->DestroyJavaVM();
    }
    if (!completed) return false;
    logLine(L"launch done");
    return true;
}
