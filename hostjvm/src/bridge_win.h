// The stand-in jvm.dll's view of its one VM: the connection to the host
// JVM, the thread that may use it, and the round trip of one JNI call.
#pragma once

#include "hostjvm/src/link_win.h"

#include <jni.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostjvm/src/wire.h"

enum class VmState { fresh, running, destroyed, failed };

// A method ID points at one of these; they live as long as the process.
struct MethodRecord {
    int64_t id;
    bool isStatic;
    std::string parameters;  // one letter per parameter: Z B C S I J F D, or L
    char returnKind;         // V, a primitive letter, or L
};

struct Reply {
    uint8_t flags = 0;
    std::vector<uint8_t> body;
    FrameReader reader;
};

VmState vmState();
JNIEnv* mainEnv();
JavaVM* mainVm();

// Every JNI function starts here: it must run on the thread that created
// the VM, while the VM exists. Anything else ends the process with a
// message naming the function.
void enterJni(const char* function);

// Sends one request and reads its reply. A lost connection means the host
// JVM ended (System.exit or a crash): the process then ends with its
// status. A misuse reported by the server ends the process with a message.
void transact(const char* function, const FrameWriter& request, Reply& reply);

// Whether an exception is pending, as the last reply said.
bool exceptionPending();

[[noreturn]] void fatalJni(const char* format, ...);

inline jobject toObject(int64_t handle) { return reinterpret_cast<jobject>(static_cast<intptr_t>(handle)); }
inline int64_t toHandle(jobject object) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(object)); }

// Checks a reply that must have been read completely and well.
void expectComplete(const char* function, const Reply& reply);

// Creation and destruction, for the exported entry points.
jint createVm(const JavaVMInitArgs& args);
jint destroyVm();
bool isOwnerThread();

// The function tables.
void installStubs(JNINativeInterface_& table);
void installEnvFunctions(JNINativeInterface_& table);
void installCallFunctions(JNINativeInterface_& table);
