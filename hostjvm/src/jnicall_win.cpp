// Method IDs and the Call<Type>Method families. A method ID remembers the
// parameter kinds the server reported at lookup, which is what decodes the
// variadic and va_list forms: each argument is read from the list with
// the C type that the caller promoted it to.
#include <cstdarg>
#include <cstring>
#include <map>
#include <set>

#include "hostjvm/src/bridge_win.h"

namespace {

// Records live as long as the process, like method IDs in the VM.
std::map<int64_t, MethodRecord*>& recordsById() {
    static auto* records = new std::map<int64_t, MethodRecord*>();
    return *records;
}

std::set<const MethodRecord*>& knownRecords() {
    static auto* known = new std::set<const MethodRecord*>();
    return *known;
}

jmethodID lookupMethod(const char* function, jclass cls, const char* name, const char* sig, bool isStatic) {
    enterJni(function);
    if (!cls || !name || !sig) fatalJni("%s: the class, name or signature is null", function);
    FrameWriter w;
    w.u8(kOpGetMethod);
    w.i64(toHandle(cls));
    w.u8(isStatic ? 1 : 0);
    w.data(name, std::strlen(name));
    w.data(sig, std::strlen(sig));
    Reply reply;
    transact(function, w, reply);
    int64_t id = reply.reader.i64();
    if (id == 0) {
        expectComplete(function, reply);
        return nullptr;
    }
    std::string parameters = reply.reader.text();
    char returnKind = static_cast<char>(reply.reader.u8());
    expectComplete(function, reply);
    MethodRecord*& record = recordsById()[id];
    if (!record) {
        record = new MethodRecord{id, isStatic, parameters, returnKind};
        knownRecords().insert(record);
    }
    return reinterpret_cast<jmethodID>(record);
}

jmethodID JNICALL getMethodId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return lookupMethod("GetMethodID", cls, name, sig, false);
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    return lookupMethod("GetStaticMethodID", cls, name, sig, true);
}

const MethodRecord& checkedRecord(const char* function, jmethodID id, WireCallKind kind) {
    const MethodRecord* record = reinterpret_cast<const MethodRecord*>(id);
    if (!record || !knownRecords().count(record)) fatalJni("%s: invalid method ID %p", function, static_cast<void*>(id));
    if (record->isStatic != (kind == kCallStatic)) {
        fatalJni("%s: method ID of %s method", function, record->isStatic ? "a static" : "an instance");
    }
    return *record;
}

void beginCall(FrameWriter& w, WireCallKind kind, jobject target, const MethodRecord& m) {
    w.u8(kOpCall);
    w.u8(kind);
    w.i64(toHandle(target));
    w.i64(m.id);
    w.i32(static_cast<int32_t>(m.parameters.size()));
}

uint32_t floatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

uint64_t doubleBits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// Arguments of a variadic call arrive promoted: small integers as int,
// float as double.
void putListArguments(FrameWriter& w, const MethodRecord& m, va_list args) {
    for (char kind : m.parameters) {
        w.u8(static_cast<uint8_t>(kind));
        switch (kind) {
        case 'Z': w.u8(static_cast<jboolean>(va_arg(args, int)) != 0 ? 1 : 0); break;
        case 'B': w.u8(static_cast<uint8_t>(va_arg(args, int))); break;
        case 'C': w.i32(static_cast<jchar>(va_arg(args, int))); break;
        case 'S': w.i32(static_cast<jshort>(va_arg(args, int))); break;
        case 'I': w.i32(va_arg(args, jint)); break;
        case 'J': w.i64(va_arg(args, jlong)); break;
        case 'F': w.i32(static_cast<int32_t>(floatBits(static_cast<float>(va_arg(args, double))))); break;
        case 'D': w.i64(static_cast<int64_t>(doubleBits(va_arg(args, double)))); break;
        default: w.i64(toHandle(va_arg(args, jobject))); break;
        }
    }
}

void putArrayArguments(FrameWriter& w, const MethodRecord& m, const jvalue* args) {
    if (!m.parameters.empty() && !args) fatalJni("Call<type>MethodA: the argument array is null");
    for (size_t i = 0; i < m.parameters.size(); ++i) {
        char kind = m.parameters[i];
        w.u8(static_cast<uint8_t>(kind));
        switch (kind) {
        case 'Z': w.u8(args[i].z != 0 ? 1 : 0); break;
        case 'B': w.u8(static_cast<uint8_t>(args[i].b)); break;
        case 'C': w.i32(args[i].c); break;
        case 'S': w.i32(args[i].s); break;
        case 'I': w.i32(args[i].i); break;
        case 'J': w.i64(args[i].j); break;
        case 'F': w.i32(static_cast<int32_t>(floatBits(args[i].f))); break;
        case 'D': w.i64(static_cast<int64_t>(doubleBits(args[i].d))); break;
        default: w.i64(toHandle(args[i].l)); break;
        }
    }
}

jvalue finishCall(const char* function, const FrameWriter& w) {
    Reply reply;
    transact(function, w, reply);
    jvalue v;
    std::memset(&v, 0, sizeof v);
    char kind = static_cast<char>(reply.reader.u8());
    switch (kind) {
    case 'V': break;
    case 'Z': v.z = reply.reader.u8() ? JNI_TRUE : JNI_FALSE; break;
    case 'B': v.b = static_cast<jbyte>(reply.reader.u8()); break;
    case 'C': v.c = static_cast<jchar>(reply.reader.i32()); break;
    case 'S': v.s = static_cast<jshort>(reply.reader.i32()); break;
    case 'I': v.i = reply.reader.i32(); break;
    case 'J': v.j = reply.reader.i64(); break;
    case 'F': {
        uint32_t bits = static_cast<uint32_t>(reply.reader.i32());
        std::memcpy(&v.f, &bits, sizeof bits);
        break;
    }
    case 'D': {
        uint64_t bits = static_cast<uint64_t>(reply.reader.i64());
        std::memcpy(&v.d, &bits, sizeof bits);
        break;
    }
    default: v.l = toObject(reply.reader.i64()); break;
    }
    expectComplete(function, reply);
    return v;
}

jvalue callList(const char* function, WireCallKind kind, jobject target, jmethodID id, va_list args) {
    enterJni(function);
    const MethodRecord& m = checkedRecord(function, id, kind);
    if (kind != kCallStatic && !target) fatalJni("%s: the %s is null", function, kind == kCallVirtual ? "object" : "class");
    FrameWriter w;
    beginCall(w, kind, target, m);
    putListArguments(w, m, args);
    return finishCall(function, w);
}

jvalue callArray(const char* function, WireCallKind kind, jobject target, jmethodID id, const jvalue* args) {
    enterJni(function);
    const MethodRecord& m = checkedRecord(function, id, kind);
    if (kind != kCallStatic && !target) fatalJni("%s: the %s is null", function, kind == kCallVirtual ? "object" : "class");
    FrameWriter w;
    beginCall(w, kind, target, m);
    putArrayArguments(w, m, args);
    return finishCall(function, w);
}

// Each family comes in three forms (variadic, va_list, jvalue array), for
// instance and static methods.
#define VTL_CALL_FAMILY(Type, ctype, member)                                                                   \
    ctype JNICALL call##Type##Method(JNIEnv*, jobject obj, jmethodID id, ...) {                                \
        va_list args;                                                                                         \
        va_start(args, id);                                                                                   \
        jvalue v = callList("Call" #Type "Method", kCallVirtual, obj, id, args);                              \
        va_end(args);                                                                                         \
        return (ctype)v.member;                                                                               \
    }                                                                                                         \
    ctype JNICALL call##Type##MethodV(JNIEnv*, jobject obj, jmethodID id, va_list args) {                     \
        return (ctype)callList("Call" #Type "MethodV", kCallVirtual, obj, id, args).member;                    \
    }                                                                                                         \
    ctype JNICALL call##Type##MethodA(JNIEnv*, jobject obj, jmethodID id, const jvalue* args) {               \
        return (ctype)callArray("Call" #Type "MethodA", kCallVirtual, obj, id, args).member;                   \
    }                                                                                                         \
    ctype JNICALL callStatic##Type##Method(JNIEnv*, jclass cls, jmethodID id, ...) {                          \
        va_list args;                                                                                         \
        va_start(args, id);                                                                                   \
        jvalue v = callList("CallStatic" #Type "Method", kCallStatic, cls, id, args);                         \
        va_end(args);                                                                                         \
        return (ctype)v.member;                                                                               \
    }                                                                                                         \
    ctype JNICALL callStatic##Type##MethodV(JNIEnv*, jclass cls, jmethodID id, va_list args) {                \
        return (ctype)callList("CallStatic" #Type "MethodV", kCallStatic, cls, id, args).member;               \
    }                                                                                                         \
    ctype JNICALL callStatic##Type##MethodA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {          \
        return (ctype)callArray("CallStatic" #Type "MethodA", kCallStatic, cls, id, args).member;              \
    }

VTL_CALL_FAMILY(Object, jobject, l)
VTL_CALL_FAMILY(Boolean, jboolean, z)
VTL_CALL_FAMILY(Byte, jbyte, b)
VTL_CALL_FAMILY(Char, jchar, c)
VTL_CALL_FAMILY(Short, jshort, s)
VTL_CALL_FAMILY(Int, jint, i)
VTL_CALL_FAMILY(Long, jlong, j)
VTL_CALL_FAMILY(Float, jfloat, f)
VTL_CALL_FAMILY(Double, jdouble, d)

void JNICALL callVoidMethod(JNIEnv*, jobject obj, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callList("CallVoidMethod", kCallVirtual, obj, id, args);
    va_end(args);
}

void JNICALL callVoidMethodV(JNIEnv*, jobject obj, jmethodID id, va_list args) {
    callList("CallVoidMethodV", kCallVirtual, obj, id, args);
}

void JNICALL callVoidMethodA(JNIEnv*, jobject obj, jmethodID id, const jvalue* args) {
    callArray("CallVoidMethodA", kCallVirtual, obj, id, args);
}

void JNICALL callStaticVoidMethod(JNIEnv*, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callList("CallStaticVoidMethod", kCallStatic, cls, id, args);
    va_end(args);
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    callList("CallStaticVoidMethodV", kCallStatic, cls, id, args);
}

void JNICALL callStaticVoidMethodA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {
    callArray("CallStaticVoidMethodA", kCallStatic, cls, id, args);
}

// Constructors are instance lookups of "<init>"; NewObject names the class.
jobject JNICALL newObject(JNIEnv*, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jvalue v = callList("NewObject", kCallNewObject, cls, id, args);
    va_end(args);
    return v.l;
}

jobject JNICALL newObjectV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    return callList("NewObjectV", kCallNewObject, cls, id, args).l;
}

jobject JNICALL newObjectA(JNIEnv*, jclass cls, jmethodID id, const jvalue* args) {
    return callArray("NewObjectA", kCallNewObject, cls, id, args).l;
}

}  // namespace

#define VTL_INSTALL_FAMILY(Type)                                  \
    t.Call##Type##Method = call##Type##Method;                    \
    t.Call##Type##MethodV = call##Type##MethodV;                  \
    t.Call##Type##MethodA = call##Type##MethodA;                  \
    t.CallStatic##Type##Method = callStatic##Type##Method;        \
    t.CallStatic##Type##MethodV = callStatic##Type##MethodV;      \
    t.CallStatic##Type##MethodA = callStatic##Type##MethodA;

void installCallFunctions(JNINativeInterface_& t) {
    t.GetMethodID = getMethodId;
    t.GetStaticMethodID = getStaticMethodId;
    VTL_INSTALL_FAMILY(Object)
    VTL_INSTALL_FAMILY(Boolean)
    VTL_INSTALL_FAMILY(Byte)
    VTL_INSTALL_FAMILY(Char)
    VTL_INSTALL_FAMILY(Short)
    VTL_INSTALL_FAMILY(Int)
    VTL_INSTALL_FAMILY(Long)
    VTL_INSTALL_FAMILY(Float)
    VTL_INSTALL_FAMILY(Double)
    VTL_INSTALL_FAMILY(Void)
    t.NewObject = newObject;
    t.NewObjectV = newObjectV;
    t.NewObjectA = newObjectA;
}
