// Loads a jvm.dll the way the launcher does and makes the JNI calls that
// its command line scripts, printing one line per step on standard output
// (written straight to the handle, so the order against the relayed Java
// output is the order of events).
//
//   jnidriver.exe JVMDLL COMMAND...
//     opt TEXT            add a VM option (converted to the ANSI code page)
//     strict              create with ignoreUnrecognized off
//     create              JNI_CreateJavaVM; stops with exit code 3 on failure
//     again               a second JNI_CreateJavaVM
//     main CLASS N A...   String[] main call with N arguments, then the check
//     splash CLASS        the 14-argument splash call of the launcher
//     bool CLASS METHOD   a static ()Z call, then the check
//     describe CLASS      describe(ZBCSIJFDString) in its three call forms
//     instance CLASS TEXT a new object and every instance call form
//     findclass NAME      FindClass, then the check
//     thrownew CLASS MSG  ThrowNew, then the check
//     env                 GetEnv/AttachCurrentThread here and on a second thread
//     stub                a JNI function the bridge does not implement
//     version JAVAEXE     JAVAEXE -version as the launcher runs it
//     destroy             DestroyJavaVM
//     sleep MS, exit N
#include <windows.h>

#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/bounded.h"

namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

JavaVM* vm = nullptr;
JNIEnv* env = nullptr;

void say(const char* format, ...) {
    char line[4000];
    va_list args;
    va_start(args, format);
    vformatText(line, sizeof line - 1, format, args);
    va_end(args);
    appendText(line, sizeof line, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(textLength(line, sizeof line)), &written,
              nullptr);
}

std::string utf8(const wchar_t* text, int length = -1) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    if (length < 0 && !out.empty()) out.pop_back();
    return out;
}

std::string ansi(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::string narrow(const wchar_t* text) { return utf8(text); }

std::string javaText(jstring s) {
    if (!s) return "(null)";
    const jchar* chars = env->GetStringChars(s, nullptr);
    jsize n = env->GetStringLength(s);
    std::string text = utf8(reinterpret_cast<const wchar_t*>(chars), n);
    env->ReleaseStringChars(s, chars);
    return text;
}

// What the launcher does after a call into Java: log the exception's
// text, let the VM print its stack trace, clear it.
bool check() {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) {
        say("no exception");
        return true;
    }
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(exception);
    jmethodID toString = env->GetMethodID(cls, "toString", "()Ljava/lang/String;");
    jstring text = static_cast<jstring>(env->CallObjectMethod(exception, toString));
    say("exception %s check=%d", javaText(text).c_str(), env->ExceptionCheck() ? 1 : 0);
    env->Throw(exception);
    say("pending %d", env->ExceptionCheck() ? 1 : 0);
    env->ExceptionDescribe();
    say("after describe pending %d", env->ExceptionCheck() ? 1 : 0);
    env->ExceptionClear();
    env->DeleteLocalRef(text);
    env->DeleteLocalRef(cls);
    env->DeleteLocalRef(exception);
    return false;
}

jclass requireClass(const wchar_t* name) {
    std::string n = narrow(name);
    jclass cls = env->FindClass(n.c_str());
    if (!cls) {
        say("class %s not found", n.c_str());
        check();
        std::exit(4);
    }
    return cls;
}

jint create(const std::vector<std::string>& options, bool ignore, CreateJavaVm entry) {
    std::vector<JavaVMOption> list(options.size());
    for (size_t i = 0; i < options.size(); ++i) {
        list[i].optionString = const_cast<char*>(options[i].c_str());
        list[i].extraInfo = nullptr;
    }
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(list.size());
    args.options = list.data();
    args.ignoreUnrecognized = ignore ? JNI_TRUE : JNI_FALSE;
    return entry(&vm, reinterpret_cast<void**>(&env), &args);
}

void callMain(const wchar_t* className, int count, wchar_t** values) {
    jclass cls = requireClass(className);
    jmethodID main = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    for (int i = 0; i < count; ++i) {
        jstring s = env->NewString(reinterpret_cast<const jchar*>(values[i]), static_cast<jsize>(wcslen(values[i])));
        env->SetObjectArrayElement(array, i, s);
        env->DeleteLocalRef(s);
    }
    say("calling main");
    env->CallStaticVoidMethod(cls, main, array);
    say("main returned");
    check();
}

void callSplash(const wchar_t* className) {
    jclass cls = requireClass(className);
    jmethodID m = env->GetStaticMethodID(
        cls, "splash", "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V");
    // UTF-8 and a stray ANSI byte, as configuration texts may carry.
    jstring t1 = env->NewStringUTF("Gr\xc3\xbc\xc3\x9f" "e");
    jstring c1 = env->NewStringUTF("0,0,0");
    jstring t2 = env->NewStringUTF("caf\xe9");
    jstring c2 = env->NewStringUTF("255,255,255");
    env->CallStaticVoidMethod(cls, m, JNI_TRUE, static_cast<jboolean>(0), t1, 10, -20, c1, 1, 2, t2, 30, 40, c2,
                              -5, 2147483647);
    check();
    env->DeleteLocalRef(t1);
    env->DeleteLocalRef(c1);
    env->DeleteLocalRef(t2);
    env->DeleteLocalRef(c2);
}

void callBool(const wchar_t* className, const wchar_t* method) {
    jclass cls = requireClass(className);
    jmethodID m = env->GetStaticMethodID(cls, narrow(method).c_str(), "()Z");
    jboolean result = env->CallStaticBooleanMethod(cls, m);
    say("bool %d", result ? 1 : 0);
    check();
}

jobject describeA(jclass cls, jmethodID m, jstring text) {
    jvalue v[9];
    v[0].z = JNI_TRUE;
    v[1].b = -7;
    v[2].c = 0x20ac;
    v[3].s = -300;
    v[4].i = 123456789;
    v[5].j = -1234567890123LL;
    v[6].f = 1.5f;
    v[7].d = -0.25;
    v[8].l = text;
    return env->CallStaticObjectMethodA(cls, m, v);
}

jobject describeV(jclass cls, jmethodID m, ...) {
    va_list args;
    va_start(args, m);
    jobject result = env->CallStaticObjectMethodV(cls, m, args);
    va_end(args);
    return result;
}

void callDescribe(const wchar_t* className) {
    jclass cls = requireClass(className);
    jmethodID m = env->GetStaticMethodID(cls, "describe", "(ZBCSIJFDLjava/lang/String;)Ljava/lang/String;");
    jstring text = env->NewStringUTF("text");
    jobject variadic = env->CallStaticObjectMethod(cls, m, JNI_TRUE, static_cast<jbyte>(-7), static_cast<jchar>(0x20ac),
                                                   static_cast<jshort>(-300), 123456789, -1234567890123LL, 1.5f, -0.25,
                                                   text);
    say("describe variadic %s", javaText(static_cast<jstring>(variadic)).c_str());
    jobject list = describeV(cls, m, JNI_TRUE, static_cast<jbyte>(-7), static_cast<jchar>(0x20ac),
                             static_cast<jshort>(-300), 123456789, -1234567890123LL, 1.5f, -0.25, text);
    say("describe list %s", javaText(static_cast<jstring>(list)).c_str());
    jobject array = describeA(cls, m, text);
    say("describe array %s", javaText(static_cast<jstring>(array)).c_str());
    const char* utf = env->GetStringUTFChars(static_cast<jstring>(array), nullptr);
    say("describe utf %s length %d", utf, static_cast<int>(env->GetStringUTFLength(static_cast<jstring>(array))));
    env->ReleaseStringUTFChars(static_cast<jstring>(array), utf);
    check();
}

void callInstance(const wchar_t* className, const wchar_t* name) {
    jclass cls = requireClass(className);
    jmethodID ctor = env->GetMethodID(cls, "<init>", "(Ljava/lang/String;)V");
    jstring text = env->NewString(reinterpret_cast<const jchar*>(name), static_cast<jsize>(wcslen(name)));
    jobject probe = env->NewObject(cls, ctor, text);
    jclass own = env->GetObjectClass(probe);
    say("same class %d", env->IsSameObject(cls, own) ? 1 : 0);
    jstring shown = static_cast<jstring>(env->CallObjectMethod(probe, env->GetMethodID(own, "toString", "()Ljava/lang/String;")));
    say("toString %s", javaText(shown).c_str());
    say("int %d", static_cast<int>(env->CallIntMethod(probe, env->GetMethodID(own, "length", "()I"))));
    say("long %lld", static_cast<long long>(env->CallLongMethod(probe, env->GetMethodID(own, "twice", "(J)J"), 21000000000LL)));
    say("double %d", static_cast<int>(1000 * env->CallDoubleMethod(probe, env->GetMethodID(own, "half", "(D)D"), 5.0)));
    say("float %d", static_cast<int>(1000 * env->CallFloatMethod(probe, env->GetMethodID(own, "third", "(F)F"), 3.0f)));
    say("char %d", static_cast<int>(env->CallCharMethod(probe, env->GetMethodID(own, "first", "()C"))));
    say("short %d", static_cast<int>(env->CallShortMethod(probe, env->GetMethodID(own, "shortLength", "()S"))));
    say("byte %d", static_cast<int>(env->CallByteMethod(probe, env->GetMethodID(own, "firstByte", "()B"))));
    say("boolean %d", env->CallBooleanMethod(probe, env->GetMethodID(own, "isEmpty", "()Z")) ? 1 : 0);
    env->CallVoidMethod(probe, env->GetMethodID(own, "touch", "()V"));
    jmethodID missing = env->GetMethodID(own, "nothing", "()V");
    say("missing method %s", missing ? "found" : "null");
    check();
    jmethodID wrongKind = env->GetStaticMethodID(own, "length", "()I");
    say("instance method as static %s", wrongKind ? "found" : "null");
    check();
}

void findClass(const wchar_t* name) {
    jclass cls = env->FindClass(narrow(name).c_str());
    say("findclass %s pending %d", cls ? "found" : "null", env->ExceptionCheck() ? 1 : 0);
    check();
}

void throwNew(const wchar_t* className, const wchar_t* message) {
    jclass cls = requireClass(className);
    jint rc = env->ThrowNew(cls, narrow(message).c_str());
    say("thrownew %d", static_cast<int>(rc));
    check();
}

DWORD WINAPI otherThread(void*) {
    void* other = reinterpret_cast<void*>(1);
    jint rc = vm->GetEnv(&other, JNI_VERSION_1_2);
    say("thread getenv %d %s", static_cast<int>(rc), other ? "env" : "null");
    rc = vm->AttachCurrentThread(&other, nullptr);
    say("thread attach %d", static_cast<int>(rc));
    return 0;
}

void checkEnv() {
    void* same = nullptr;
    jint rc = vm->GetEnv(&same, JNI_VERSION_1_8);
    say("getenv %d %d", static_cast<int>(rc), same == env ? 1 : 0);
    say("getenv bad version %d", static_cast<int>(vm->GetEnv(&same, 0x7fff0000)));
    same = nullptr;
    rc = vm->AttachCurrentThread(&same, nullptr);
    say("attach %d %d", static_cast<int>(rc), same == env ? 1 : 0);
    say("version %x", static_cast<unsigned>(env->GetVersion()));
    HANDLE thread = CreateThread(nullptr, 0, otherThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
}

// Runs "JAVAEXE -version" the way the launcher learns a runtime's version:
// standard error into a temporary file, no standard input or output.
void runVersion(const wchar_t* javaExe) {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"ver", 0, file);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // The launcher runs the short form of the path, unquoted.
    wchar_t shortPath[MAX_PATH];
    DWORD shortLength = GetShortPathNameW(javaExe, shortPath, MAX_PATH);
    std::wstring command = (shortLength > 0 && shortLength < MAX_PATH ? std::wstring(shortPath) : std::wstring(javaExe)) + L" -version";
    say("version command %s", narrow(command.c_str()).c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdError = err;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &info)) {
        say("version cannot start (error %lu)", GetLastError());
        return;
    }
    DWORD wait = WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    say("version exit %lu%s", code, wait == WAIT_TIMEOUT ? " (timed out)" : "");
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(err);
    FILE* in = _wfopen(file, L"r");
    char line[200] = "";
    if (in) {
        if (!fgets(line, sizeof line, in)) line[0] = 0;
        fclose(in);
    }
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    say("version line %s", line);
    DeleteFileW(file);
}

CreateJavaVm loadEntry(const wchar_t* path) {
    HMODULE dll = LoadLibraryW(path);
    if (!dll) {
        say("cannot load %s (error %lu)", narrow(path).c_str(), GetLastError());
        std::exit(2);
    }
    auto entry = reinterpret_cast<CreateJavaVm>(reinterpret_cast<void*>(GetProcAddress(dll, "JNI_CreateJavaVM")));
    if (!entry) {
        say("no JNI_CreateJavaVM export");
        std::exit(2);
    }
    return entry;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        say("usage: jnidriver JVMDLL COMMAND...");
        return 2;
    }
    std::vector<std::string> options;
    bool ignore = true;
    for (int i = 2; i < argc; ++i) {
        std::wstring command = argv[i];
        auto arg = [&](int k) -> wchar_t* {
            if (i + k >= argc) {
                say("missing argument for %s", narrow(command.c_str()).c_str());
                std::exit(2);
            }
            return argv[i + k];
        };
        if (command == L"opt") {
            options.push_back(ansi(arg(1)));
            i += 1;
        } else if (command == L"strict") {
            ignore = false;
        } else if (command == L"create" || command == L"again") {
            jint rc = create(options, ignore, loadEntry(argv[1]));
            say("%s %d", narrow(command.c_str()).c_str(), static_cast<int>(rc));
            if (command == L"create" && rc != JNI_OK) return 3;
        } else if (command == L"main") {
            int count = _wtoi(arg(2));
            arg(2 + count);
            callMain(arg(1), count, argv + i + 3);
            i += 2 + count;
        } else if (command == L"splash") {
            callSplash(arg(1));
            i += 1;
        } else if (command == L"bool") {
            callBool(arg(1), arg(2));
            i += 2;
        } else if (command == L"describe") {
            callDescribe(arg(1));
            i += 1;
        } else if (command == L"instance") {
            callInstance(arg(1), arg(2));
            i += 2;
        } else if (command == L"findclass") {
            findClass(arg(1));
            i += 1;
        } else if (command == L"thrownew") {
            throwNew(arg(1), arg(2));
            i += 2;
        } else if (command == L"env") {
            checkEnv();
        } else if (command == L"stub") {
            say("calling GetFieldID");
            env->GetFieldID(nullptr, "x", "I");
            say("GetFieldID returned");
        } else if (command == L"destroy") {
            say("destroy %d", static_cast<int>(vm->DestroyJavaVM()));
        } else if (command == L"version") {
            runVersion(arg(1));
            i += 1;
        } else if (command == L"sleep") {
            Sleep(static_cast<DWORD>(_wtoi(arg(1))));
            i += 1;
        } else if (command == L"exit") {
            say("exiting");
            ExitProcess(static_cast<UINT>(_wtoi(arg(1))));
        } else {
            say("unknown command %s", narrow(command.c_str()).c_str());
            return 2;
        }
    }
    return 0;
}
