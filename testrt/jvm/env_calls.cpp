// JNI method calls and exception functions. The three forms of each call
// (variadic, va_list, jvalue array) share one implementation and trace the
// family name without the V/A suffix.
#include <cstdarg>
#include <cstdio>

#include "launch/runtime_contract.h"
#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

namespace {

// One letter per parameter: Z B C S I J F D, and L for objects and arrays.
std::string parameterKinds(const std::string& signature) {
    std::string kinds;
    size_t i = signature.find('(');
    if (i == std::string::npos) return kinds;
    for (++i; i < signature.size() && signature[i] != ')'; ++i) {
        char c = signature[i];
        if (c == '[') {
            while (i < signature.size() && signature[i] == '[') ++i;
            if (i < signature.size() && signature[i] == 'L') i = signature.find(';', i);
            if (i == std::string::npos) break;
            kinds += 'L';
        } else if (c == 'L') {
            i = signature.find(';', i);
            if (i == std::string::npos) break;
            kinds += 'L';
        } else {
            kinds += c;
        }
    }
    return kinds;
}

char returnKind(const std::string& signature) {
    size_t close = signature.find(')');
    return close == std::string::npos || close + 1 >= signature.size() ? '?' : signature[close + 1];
}

// Reads the variadic arguments as the C calling convention promotes them.
std::vector<jvalue> readArguments(const std::string& signature, va_list args) {
    std::vector<jvalue> values;
    for (char kind : parameterKinds(signature)) {
        jvalue v{};
        switch (kind) {
            case 'Z': v.z = static_cast<jboolean>(va_arg(args, int)); break;
            case 'B': v.b = static_cast<jbyte>(va_arg(args, int)); break;
            case 'C': v.c = static_cast<jchar>(va_arg(args, int)); break;
            case 'S': v.s = static_cast<jshort>(va_arg(args, int)); break;
            case 'I': v.i = va_arg(args, jint); break;
            case 'J': v.j = va_arg(args, jlong); break;
            case 'F': v.f = static_cast<jfloat>(va_arg(args, double)); break;
            case 'D': v.d = va_arg(args, double); break;
            default: v.l = va_arg(args, jobject); break;
        }
        values.push_back(v);
    }
    return values;
}

std::string formatValue(char kind, const jvalue& v, const char* function) {
    char number[64];
    switch (kind) {
        case 'Z': return v.z ? "true" : "false";
        case 'B': return std::to_string(v.b);
        case 'C': return std::to_string(v.c);
        case 'S': return std::to_string(v.s);
        case 'I': return std::to_string(v.i);
        case 'J': return std::to_string(static_cast<long long>(v.j));
        case 'F': snprintf(number, sizeof number, "%g", static_cast<double>(v.f)); return number;
        case 'D': snprintf(number, sizeof number, "%g", v.d); return number;
        default: break;
    }
    Object* object = deref(v.l, function);
    if (object && object->kind == Kind::String) return quoteUtf16(object->text);
    return refToken(v.l);
}

std::string formatArguments(const Method& m, const jvalue* args, const char* function) {
    std::string out;
    std::string kinds = parameterKinds(m.signature);
    for (size_t i = 0; i < kinds.size(); ++i) out += " " + formatValue(kinds[i], args[i], function);
    return out;
}

std::string callLine(const char* function, const Method& m) {
    return std::string(function) + " " + quoteBytes(m.className.c_str()) + " " + quoteBytes(m.name.c_str()) + " " +
           quoteBytes(m.signature.c_str());
}

Method* staticCall(const char* function, jclass clazz, jmethodID id, char expectedReturn) {
    enter(function);
    Object* owner = derefKind(clazz, Kind::Class, function);
    Method* m = derefMethod(id, function);
    if (!m->isStatic) traceLine("warning " + quoteBytes((std::string(function) + " with an instance method").c_str()));
    if (owner->className != m->className)
        traceLine("warning " + quoteBytes((std::string(function) + " with a method of another class").c_str()));
    if (returnKind(m->signature) != expectedReturn)
        traceLine("warning " + quoteBytes((std::string(function) + " with a method returning " + m->signature).c_str()));
    return m;
}

void callStaticVoid(jclass clazz, jmethodID id, const jvalue* args) {
    const char* function = "CallStaticVoidMethod";
    Method* m = staticCall(function, clazz, id, 'V');
    traceLine(callLine(function, *m) + formatArguments(*m, args, function));
    if (m->name == kMainMethod && m->signature == kMainSignature) runScriptedMain(deref(args[0].l, function));
}

jboolean callStaticBoolean(jclass clazz, jmethodID id, const jvalue* args) {
    const char* function = "CallStaticBooleanMethod";
    Method* m = staticCall(function, clazz, id, 'Z');
    std::string line = callLine(function, *m) + formatArguments(*m, args, function);
    jboolean result = JNI_FALSE;
    if (m->className == kFirstRunClass && m->name == kFirstRunMethod) result = runScriptedFirstRun();
    traceLine(line + " => " + (result ? "true" : "false"));
    tracePending();
    return result;
}

std::u16string describe(const Object& target) {
    switch (target.kind) {
        case Kind::String:
        case Kind::Throwable: return target.text;
        case Kind::Class: {
            std::string dotted = target.className;
            for (char& c : dotted) c = c == '/' ? '.' : c;
            return utf8ToUtf16("class " + dotted);
        }
        case Kind::Array: return utf8ToUtf16(target.className + "@1b6d3586");
    }
    return u"";
}

jobject callObject(jobject object, jmethodID id, const jvalue* args) {
    const char* function = "CallObjectMethod";
    enter(function);
    Object* target = deref(object, function);
    if (!target) failMisuse("null object passed to CallObjectMethod");
    Method* m = derefMethod(id, function);
    if (m->isStatic) traceLine("warning \"CallObjectMethod with a static method\"");
    jobject result = nullptr;
    if (m->name == kToStringMethod && m->signature == kToStringSignature) result = newRef(newStringObject(describe(*target)));
    traceLine(std::string(function) + " " + refToken(object) + " " + quoteBytes(m->name.c_str()) + " " +
              quoteBytes(m->signature.c_str()) + formatArguments(*m, args, function) + " => " + refToken(result));
    return result;
}

std::vector<jvalue> argumentsOf(jmethodID id, const char* function, va_list args) {
    return readArguments(derefMethod(id, function)->signature, args);
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass clazz, jmethodID id, va_list args) {
    std::vector<jvalue> values = argumentsOf(id, "CallStaticVoidMethod", args);
    values.push_back(jvalue{});
    callStaticVoid(clazz, id, values.data());
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callStaticVoidMethodV(env, clazz, id, args);
    va_end(args);
}

void JNICALL callStaticVoidMethodA(JNIEnv*, jclass clazz, jmethodID id, const jvalue* args) {
    callStaticVoid(clazz, id, args);
}

jboolean JNICALL callStaticBooleanMethodV(JNIEnv*, jclass clazz, jmethodID id, va_list args) {
    std::vector<jvalue> values = argumentsOf(id, "CallStaticBooleanMethod", args);
    values.push_back(jvalue{});
    return callStaticBoolean(clazz, id, values.data());
}

jboolean JNICALL callStaticBooleanMethod(JNIEnv* env, jclass clazz, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jboolean result = callStaticBooleanMethodV(env, clazz, id, args);
    va_end(args);
    return result;
}

jboolean JNICALL callStaticBooleanMethodA(JNIEnv*, jclass clazz, jmethodID id, const jvalue* args) {
    return callStaticBoolean(clazz, id, args);
}

jobject JNICALL callObjectMethodV(JNIEnv*, jobject object, jmethodID id, va_list args) {
    std::vector<jvalue> values = argumentsOf(id, "CallObjectMethod", args);
    values.push_back(jvalue{});
    return callObject(object, id, values.data());
}

jobject JNICALL callObjectMethod(JNIEnv* env, jobject object, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    jobject result = callObjectMethodV(env, object, id, args);
    va_end(args);
    return result;
}

jobject JNICALL callObjectMethodA(JNIEnv*, jobject object, jmethodID id, const jvalue* args) {
    return callObject(object, id, args);
}

std::string pendingText() {
    Object* pending = pendingException();
    return pending ? quoteUtf16(pending->text) : "null";
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    enter("ExceptionOccurred", true);
    jthrowable result = static_cast<jthrowable>(newRef(pendingException()));
    traceLine("ExceptionOccurred => " + refToken(result));
    return result;
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    enter("ExceptionCheck", true);
    traceLine(std::string("ExceptionCheck => ") + (pendingException() ? "true" : "false"));
    return pendingException() ? JNI_TRUE : JNI_FALSE;
}

// Prints the pending exception the way printStackTrace would, with one
// made-up frame, and clears it, as the JNI function does.
void JNICALL exceptionDescribe(JNIEnv*) {
    enter("ExceptionDescribe", true);
    traceLine("ExceptionDescribe " + pendingText());
    Object* pending = pendingException();
    if (!pending) return;
    std::string text = encodeModifiedUtf8(pending->text) + "\r\n\tat testrt.ScriptedApplication.main(ScriptedApplication.java)\r\n";
    DWORD written = 0;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    setPending(nullptr);
}

void JNICALL exceptionClear(JNIEnv*) {
    enter("ExceptionClear", true);
    traceLine("ExceptionClear " + pendingText());
    setPending(nullptr);
}

jint JNICALL throwException(JNIEnv*, jthrowable exception) {
    enter("Throw", true);
    Object* thrown = derefKind(exception, Kind::Throwable, "Throw");
    setPending(thrown);
    traceLine("Throw " + refToken(exception) + " => 0");
    return 0;
}

}  // namespace

void fillCallTable(JNINativeInterface_& table) {
    table.CallStaticVoidMethod = callStaticVoidMethod;
    table.CallStaticVoidMethodV = callStaticVoidMethodV;
    table.CallStaticVoidMethodA = callStaticVoidMethodA;
    table.CallStaticBooleanMethod = callStaticBooleanMethod;
    table.CallStaticBooleanMethodV = callStaticBooleanMethodV;
    table.CallStaticBooleanMethodA = callStaticBooleanMethodA;
    table.CallObjectMethod = callObjectMethod;
    table.CallObjectMethodV = callObjectMethodV;
    table.CallObjectMethodA = callObjectMethodA;
    table.ExceptionOccurred = exceptionOccurred;
    table.ExceptionCheck = exceptionCheck;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.Throw = throwException;
}
