// Test-only driver for the test runtime's jvm.dll: loads it as a launcher
// would and makes the launcher's JNI calls, so the test runtime (and the
// helper library) can be checked without the launcher.
//
//   testrt_driver.exe <jvm.dll> load
//   testrt_driver.exe <jvm.dll> launch [--family v|m] [--splash] [--first-run]
//                                      [--helper <vtlinst.dll>] [app arguments...]
//   testrt_driver.exe <jvm.dll> unimplemented | invoke-unimplemented | double-delete | pending
//
// Exit codes: 0 done, 1 main ended with an exception, 2 JNI_CreateJavaVM
// failed, 3 a class or method is missing, 4 the library did not load or has
// no JNI_CreateJavaVM, 5 bad usage; the test runtime's own codes pass through.
#include <windows.h>
#include <shellapi.h>
#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "launch/runtime_contract.h"
#include "testrt/support/settings.h"

namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

void say(const std::string& text) {
    std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void errorLog(const wchar_t* format, ...) {
    wchar_t text[2000];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, 1999, format, args);
    va_end(args);
    text[1999] = 0;
    say("errorLog: " + toUtf8(text));
}

struct Launch {
    std::string family = "v";
    bool splash = false;
    bool firstRun = false;
    std::wstring helper;
    std::vector<std::wstring> appArgs;
};

// The launcher's checkJavaException: log the text, describe, clear.
bool noException(JNIEnv* env) {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) return true;
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(exception);
    jmethodID toString = env->GetMethodID(cls, kToStringMethod, kToStringSignature);
    jstring text = static_cast<jstring>(env->CallObjectMethod(exception, toString));
    const jchar* chars = env->GetStringChars(text, nullptr);
    std::wstring wide(chars, chars + env->GetStringLength(text));
    env->ReleaseStringChars(text, chars);
    say("exception: " + toUtf8(wide));
    env->Throw(exception);
    env->ExceptionDescribe();
    env->ExceptionClear();
    return false;
}

jclass needClass(JNIEnv* env, const char* name) {
    jclass cls = env->FindClass(name);
    if (!cls) {
        env->ExceptionClear();
        say(std::string("missing class ") + name);
        ExitProcess(3);
    }
    return cls;
}

jmethodID needStatic(JNIEnv* env, jclass cls, const char* name, const char* signature) {
    jmethodID id = env->GetStaticMethodID(cls, name, signature);
    if (!id) {
        env->ExceptionClear();
        say(std::string("missing method ") + name);
        ExitProcess(3);
    }
    return id;
}

void passSplash(JNIEnv* env) {
    jclass cls = needClass(env, kSplashClass);
    jmethodID init = needStatic(env, cls, kSplashMethod, kSplashSignature);
    jstring texts[4] = {env->NewStringUTF("Loading \xc3\xa9"), env->NewStringUTF("0,0,0"),
                        env->NewStringUTF("v1.2"), env->NewStringUTF("255,255,255")};
    env->CallStaticVoidMethod(cls, init, JNI_TRUE, JNI_FALSE, texts[0], 10, 20, texts[1], 3, 4, texts[2], 30, 40,
                              texts[3], 5, 6);
    for (jstring t : texts) env->DeleteLocalRef(t);
}

void initHelper(JNIEnv* env, const std::wstring& helper) {
    jclass common = needClass(env, kCommonClass);
    env->CallStaticVoidMethod(common, needStatic(env, common, kInitFromLauncherMethod, kInitFromLauncherSignature),
                              JNI_TRUE);
    env->DeleteLocalRef(common);
    if (helper.empty()) return;
    HMODULE library = LoadLibraryW(helper.c_str());
    if (!library) {
        say("helper did not load " + std::to_string(GetLastError()));
        return;
    }
    auto registerNatives =
        reinterpret_cast<RegisterNativesFunction>(reinterpret_cast<void*>(GetProcAddress(library, kRegisterNativesExport)));
    if (!registerNatives) {
        say("helper has no registerNatives");
        return;
    }
    say("registerNatives returned " + std::to_string(registerNatives(env, library, errorLog)));
}

int runMain(JNIEnv* env, const Launch& launch) {
    const char* name = launch.family == "v" ? kVantrelLauncherClass : kMorlinLauncherClass;
    jclass cls = needClass(env, name);
    jmethodID main = needStatic(env, cls, kMainMethod, kMainSignature);
    std::vector<std::wstring> elements = {L"false", L"com.example.Main", L"", L"", L"false"};
    elements.insert(elements.end(), launch.appArgs.begin(), launch.appArgs.end());
    jclass stringClass = env->FindClass(kStringClass);
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(elements.size()), stringClass, nullptr);
    for (size_t i = 0; i < elements.size(); ++i) {
        const jchar* chars = reinterpret_cast<const jchar*>(elements[i].c_str());
        env->SetObjectArrayElement(array, static_cast<jsize>(i), env->NewString(chars, static_cast<jsize>(elements[i].size())));
    }
    env->CallStaticVoidMethod(cls, main, array);
    say("main returned");
    return noException(env) ? 0 : 1;
}

int runLaunch(JavaVM* vm, JNIEnv* env, const Launch& launch) {
    if (launch.splash) passSplash(env);
    if (launch.family == "v") initHelper(env, launch.helper);
    if (launch.firstRun) {
        jclass cls = needClass(env, kFirstRunClass);
        jboolean goOn = env->CallStaticBooleanMethod(cls, needStatic(env, cls, kFirstRunMethod, kFirstRunSignature));
        if (!noException(env) || !goOn) {
            say("first run stopped the launch");
            return 0;
        }
    }
    int result = runMain(env, launch);
    if (result != 0) return result;
    say("DestroyJavaVM returned " + std::to_string(vm->DestroyJavaVM()));
    return 0;
}

int runScenario(JavaVM* vm, JNIEnv* env, const std::wstring& scenario, const Launch& launch) {
    if (scenario == L"launch") return runLaunch(vm, env, launch);
    if (scenario == L"unimplemented") env->MonitorEnter(nullptr);
    if (scenario == L"invoke-unimplemented") vm->DetachCurrentThread();
    if (scenario == L"double-delete") {
        jclass cls = env->FindClass(kStringClass);
        env->DeleteLocalRef(cls);
        env->DeleteLocalRef(cls);
    }
    if (scenario == L"pending") {
        env->FindClass("no/such/Class");
        env->FindClass(kStringClass);
        env->ExceptionClear();
        return 0;
    }
    say("the scenario came back");
    return 0;
}

Launch parseLaunch(const std::vector<std::wstring>& args, size_t from) {
    Launch launch;
    size_t i = from;
    for (; i < args.size(); ++i) {
        if (args[i] == L"--family" && i + 1 < args.size()) launch.family = toUtf8(args[++i]);
        else if (args[i] == L"--helper" && i + 1 < args.size()) launch.helper = args[++i];
        else if (args[i] == L"--splash") launch.splash = true;
        else if (args[i] == L"--first-run") launch.firstRun = true;
        else if (args[i] == L"--") { ++i; break; }
        else break;
    }
    launch.appArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return launch;
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    if (args.size() < 3) {
        say("usage: testrt_driver.exe <jvm.dll> <scenario> [arguments]");
        return 5;
    }
    HMODULE jvm = LoadLibraryW(args[1].c_str());
    if (!jvm) {
        say("LoadLibrary failed " + std::to_string(GetLastError()));
        return 4;
    }
    auto create = reinterpret_cast<CreateJavaVm>(reinterpret_cast<void*>(GetProcAddress(jvm, "JNI_CreateJavaVM")));
    if (!create) {
        say("no JNI_CreateJavaVM");
        return 4;
    }
    if (args[2] == L"load") {
        say("loaded");
        return 0;
    }
    std::string optionTexts[] = {"-Ddriver.option=1", "-Djava.class.path=a.jar;b.jar", "-Dlatin=caf\xe9"};
    JavaVMOption options[3];
    for (int i = 0; i < 3; ++i) options[i] = JavaVMOption{&optionTexts[i][0], nullptr};
    JavaVMInitArgs init{JNI_VERSION_1_2, 3, options, JNI_TRUE};
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint created = create(&vm, reinterpret_cast<void**>(&env), &init);
    if (created != JNI_OK) {
        say("JNI_CreateJavaVM failed " + std::to_string(created));
        return 2;
    }
    return runScenario(vm, env, args[2], parseLaunch(args, 3));
}
