// Internals of the recording test jvm.dll: the script that steers it, the
// trace it writes, and the small object world behind its JNI functions.
#pragma once

#include <windows.h>
#include <jni.h>

#include <string>
#include <vector>

// ---- script (script.cpp) -------------------------------------------------

enum class MainAction { Return, Throw, Exit, WaitStop };
enum class StopAction { Exit, Return };
enum class FirstRunAction { True, False, Throw };

struct Script {
    std::wstring path;  // empty when no script was found
    long long createResult = 0;
    std::string createStderr;  // written to standard error when creation fails, as a real VM explains itself
    std::vector<std::string> missingClasses;  // slash form
    std::vector<std::string> missingMethods;  // class/name.method
    MainAction main = MainAction::Return;
    std::string mainException = "java.lang.RuntimeException: testrt main failed";
    long long mainExitCode = 0;
    std::string mainStdout;
    std::string mainStderr;
    long long mainDelayMs = 0;
    StopAction stopAction = StopAction::Exit;
    FirstRunAction firstRun = FirstRunAction::True;
    std::string firstRunException = "java.lang.RuntimeException: testrt firstRun failed";
    long long destroyWaitMs = 0;
    std::vector<std::string> loadLibraries;  // loaded by name at creation, as a VM's own libraries are
    std::wstring tracePath;
};

// Loads the script once (VTL_TESTRT_SCRIPT, else the nearest
// testrt-jvm.ini at or above the library's folder) and opens the trace.
const Script& script();

// ---- trace (trace.cpp) ---------------------------------------------------

void openTrace(const std::wstring& path);
void traceLine(const std::string& line);
std::string quoteBytes(const char* text);          // narrow text, byte by byte
std::string quoteUtf16(const std::u16string& text);
std::string quoteUtf8(const std::string& text);    // decoded as UTF-8 first

// Code-unit conversions used by the string functions.
std::u16string decodeModifiedUtf8(const char* text);
std::string encodeModifiedUtf8(const std::u16string& text);
std::u16string utf8ToUtf16(const std::string& text);

// Exit codes that tell a test what went wrong inside the test runtime.
constexpr unsigned kExitUnimplemented = 97;  // a JNI function the test runtime lacks
constexpr unsigned kExitMisuse = 98;         // an invalid or deleted reference
constexpr unsigned kExitBadScript = 96;      // the script cannot be used

[[noreturn]] void failMisuse(const std::string& text);

// ---- objects (objects.cpp) -----------------------------------------------

enum class Kind { Class, String, Array, Throwable };

struct Object {
    Kind kind;
    std::string className;  // slash form; for a class object: the class it stands for
    std::u16string text;    // String: its characters; Throwable: its toString
    std::vector<Object*> elements;
};

struct Method {
    int id;
    std::string className;
    std::string name;
    std::string signature;
    bool isStatic;
};

jobject newRef(Object* object);
Object* deref(jobject ref, const char* function);          // null stays null
Object* derefKind(jobject ref, Kind kind, const char* function);  // non-null, of that kind
bool deleteRef(jobject ref, const char* function);
std::string refToken(jobject ref);                         // "@n" or "null"

Object* classObject(const std::string& name);
Object* newStringObject(const std::u16string& text);
Object* newThrowable(const std::string& toStringText);

jmethodID newMethodId(const std::string& className, const std::string& name, const std::string& signature,
                      bool isStatic);
Method* derefMethod(jmethodID id, const char* function);
std::string methodToken(jmethodID id);                     // "#n" or "null"

bool classExists(const std::string& name);
bool staticMethodExists(const std::string& className, const std::string& name, const std::string& signature);

// ---- environment (env_*.cpp, vm.cpp) -------------------------------------

JNIEnv* testEnv();
JavaVM* testVm();
void fillEnvTable(JNINativeInterface_& table);    // env_objects.cpp
void fillCallTable(JNINativeInterface_& table);   // env_calls.cpp
void fillUnimplemented(void** slots, size_t count, bool invokeTable);  // stubs.cpp

// Checks common to every function: the calling thread, a destroyed VM, an
// exception left pending (allowed only for the exception and release
// functions). Problems become "warning" lines in the trace.
void enter(const char* function, bool allowedWithPending = false);
Object* pendingException();
void setPending(Object* exception);
void throwNew(const std::string& toStringText);   // leaves a new exception pending
void tracePending();                              // "pending @n ..." when one is pending
bool vmDestroyed();

// ---- scripted behaviour (behaviour.cpp) ----------------------------------

void runScriptedMain(Object* arguments);
jboolean runScriptedFirstRun();
