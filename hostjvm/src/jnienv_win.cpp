// JNI functions for classes, strings, arrays, references and exceptions,
// each forwarded to the bridge server in the host JVM.
#include <cstdlib>
#include <cstring>

#include "hostjvm/src/bridge_win.h"

namespace {

// One request with a single reference argument; returns the reply.
void simpleRequest(const char* function, WireOp op, jobject object, Reply& reply) {
    FrameWriter w;
    w.u8(op);
    w.i64(toHandle(object));
    transact(function, w, reply);
}

jobject referenceReply(const char* function, Reply& reply) {
    int64_t handle = reply.reader.i64();
    expectComplete(function, reply);
    return toObject(handle);
}

void requireNonNull(const void* p, const char* function, const char* what) {
    if (!p) fatalJni("%s: %s is null", function, what);
}

void* allocateOrDie(size_t size, const char* function) {
    void* p = std::malloc(size ? size : 1);
    if (!p) fatalJni("%s: out of memory", function);
    return p;
}

std::vector<uint16_t> stringUnits(const char* function, jstring s) {
    requireNonNull(s, function, "the string");
    Reply reply;
    simpleRequest(function, kOpGetStringChars, s, reply);
    std::vector<uint16_t> units = reply.reader.chars();
    expectComplete(function, reply);
    return units;
}

jint JNICALL getVersion(JNIEnv*) {
    enterJni("GetVersion");
    return JNI_VERSION_10;
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    enterJni("FindClass");
    requireNonNull(name, "FindClass", "the class name");
    FrameWriter w;
    w.u8(kOpFindClass);
    w.data(name, std::strlen(name));
    Reply reply;
    transact("FindClass", w, reply);
    return static_cast<jclass>(referenceReply("FindClass", reply));
}

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    enterJni("GetObjectClass");
    requireNonNull(object, "GetObjectClass", "the object");
    Reply reply;
    simpleRequest("GetObjectClass", kOpGetObjectClass, object, reply);
    return static_cast<jclass>(referenceReply("GetObjectClass", reply));
}

jstring JNICALL newStringUtf(JNIEnv*, const char* utf) {
    enterJni("NewStringUTF");
    if (!utf) return nullptr;
    FrameWriter w;
    w.u8(kOpNewStringUtf);
    w.data(utf, std::strlen(utf));
    Reply reply;
    transact("NewStringUTF", w, reply);
    return static_cast<jstring>(referenceReply("NewStringUTF", reply));
}

jstring JNICALL newString(JNIEnv*, const jchar* unicode, jsize length) {
    enterJni("NewString");
    if (length < 0) fatalJni("NewString: negative length %ld", static_cast<long>(length));
    if (length > 0) requireNonNull(unicode, "NewString", "the character array");
    FrameWriter w;
    w.u8(kOpNewString);
    w.chars(reinterpret_cast<const uint16_t*>(unicode), static_cast<size_t>(length));
    Reply reply;
    transact("NewString", w, reply);
    return static_cast<jstring>(referenceReply("NewString", reply));
}

jsize JNICALL getStringLength(JNIEnv*, jstring s) {
    enterJni("GetStringLength");
    requireNonNull(s, "GetStringLength", "the string");
    Reply reply;
    simpleRequest("GetStringLength", kOpGetStringLength, s, reply);
    jsize n = reply.reader.i32();
    expectComplete("GetStringLength", reply);
    return n;
}

const jchar* JNICALL getStringChars(JNIEnv*, jstring s, jboolean* isCopy) {
    enterJni("GetStringChars");
    std::vector<uint16_t> units = stringUnits("GetStringChars", s);
    jchar* out = static_cast<jchar*>(allocateOrDie((units.size() + 1) * sizeof(jchar), "GetStringChars"));
    if (!units.empty()) std::memcpy(out, units.data(), units.size() * sizeof(jchar));
    out[units.size()] = 0;
    if (isCopy) *isCopy = JNI_TRUE;
    return out;
}

void JNICALL releaseStringChars(JNIEnv*, jstring, const jchar* chars) {
    enterJni("ReleaseStringChars");
    std::free(const_cast<jchar*>(chars));
}

jsize JNICALL getStringUtfLength(JNIEnv*, jstring s) {
    enterJni("GetStringUTFLength");
    std::vector<uint16_t> units = stringUnits("GetStringUTFLength", s);
    return static_cast<jsize>(modifiedUtf8(units.data(), units.size()).size());
}

const char* JNICALL getStringUtfChars(JNIEnv*, jstring s, jboolean* isCopy) {
    enterJni("GetStringUTFChars");
    std::vector<uint16_t> units = stringUnits("GetStringUTFChars", s);
    std::string text = modifiedUtf8(units.data(), units.size());
    char* out = static_cast<char*>(allocateOrDie(text.size() + 1, "GetStringUTFChars"));
    std::memcpy(out, text.c_str(), text.size() + 1);
    if (isCopy) *isCopy = JNI_TRUE;
    return out;
}

void JNICALL releaseStringUtfChars(JNIEnv*, jstring, const char* chars) {
    enterJni("ReleaseStringUTFChars");
    std::free(const_cast<char*>(chars));
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    enterJni("NewObjectArray");
    requireNonNull(elementClass, "NewObjectArray", "the element class");
    FrameWriter w;
    w.u8(kOpNewObjectArray);
    w.i32(length);
    w.i64(toHandle(elementClass));
    w.i64(toHandle(initial));
    Reply reply;
    transact("NewObjectArray", w, reply);
    return static_cast<jobjectArray>(referenceReply("NewObjectArray", reply));
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    enterJni("SetObjectArrayElement");
    requireNonNull(array, "SetObjectArrayElement", "the array");
    FrameWriter w;
    w.u8(kOpSetArrayElement);
    w.i64(toHandle(array));
    w.i32(index);
    w.i64(toHandle(value));
    Reply reply;
    transact("SetObjectArrayElement", w, reply);
}

jobject JNICALL getObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
    enterJni("GetObjectArrayElement");
    requireNonNull(array, "GetObjectArrayElement", "the array");
    FrameWriter w;
    w.u8(kOpGetArrayElement);
    w.i64(toHandle(array));
    w.i32(index);
    Reply reply;
    transact("GetObjectArrayElement", w, reply);
    return referenceReply("GetObjectArrayElement", reply);
}

jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
    enterJni("GetArrayLength");
    requireNonNull(array, "GetArrayLength", "the array");
    Reply reply;
    simpleRequest("GetArrayLength", kOpGetArrayLength, array, reply);
    jsize n = reply.reader.i32();
    expectComplete("GetArrayLength", reply);
    return n;
}

void deleteReference(const char* function, jobject object) {
    enterJni(function);
    if (!object) return;
    Reply reply;
    simpleRequest(function, kOpDeleteRef, object, reply);
}

void JNICALL deleteLocalRef(JNIEnv*, jobject object) { deleteReference("DeleteLocalRef", object); }
void JNICALL deleteGlobalRef(JNIEnv*, jobject object) { deleteReference("DeleteGlobalRef", object); }

jobject newReference(const char* function, jobject object) {
    enterJni(function);
    if (!object) return nullptr;
    Reply reply;
    simpleRequest(function, kOpNewRef, object, reply);
    return referenceReply(function, reply);
}

jobject JNICALL newLocalRef(JNIEnv*, jobject object) { return newReference("NewLocalRef", object); }
jobject JNICALL newGlobalRef(JNIEnv*, jobject object) { return newReference("NewGlobalRef", object); }

jboolean JNICALL isSameObject(JNIEnv*, jobject a, jobject b) {
    enterJni("IsSameObject");
    if (!a || !b) return (!a && !b) ? JNI_TRUE : JNI_FALSE;
    FrameWriter w;
    w.u8(kOpIsSameObject);
    w.i64(toHandle(a));
    w.i64(toHandle(b));
    Reply reply;
    transact("IsSameObject", w, reply);
    jboolean same = reply.reader.u8() ? JNI_TRUE : JNI_FALSE;
    expectComplete("IsSameObject", reply);
    return same;
}

jint JNICALL ensureLocalCapacity(JNIEnv*, jint capacity) {
    enterJni("EnsureLocalCapacity");
    return capacity < 0 ? JNI_ERR : JNI_OK;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    enterJni("ExceptionOccurred");
    FrameWriter w;
    w.u8(kOpExceptionOccurred);
    Reply reply;
    transact("ExceptionOccurred", w, reply);
    return static_cast<jthrowable>(referenceReply("ExceptionOccurred", reply));
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    enterJni("ExceptionCheck");
    FrameWriter w;
    w.u8(kOpExceptionCheck);
    Reply reply;
    transact("ExceptionCheck", w, reply);
    return exceptionPending() ? JNI_TRUE : JNI_FALSE;
}

void noArgumentRequest(const char* function, WireOp op) {
    enterJni(function);
    FrameWriter w;
    w.u8(op);
    Reply reply;
    transact(function, w, reply);
}

void JNICALL exceptionDescribe(JNIEnv*) { noArgumentRequest("ExceptionDescribe", kOpExceptionDescribe); }
void JNICALL exceptionClear(JNIEnv*) { noArgumentRequest("ExceptionClear", kOpExceptionClear); }

jint JNICALL throwException(JNIEnv*, jthrowable exception) {
    enterJni("Throw");
    requireNonNull(exception, "Throw", "the exception");
    Reply reply;
    simpleRequest("Throw", kOpThrow, exception, reply);
    return JNI_OK;
}

jint JNICALL throwNew(JNIEnv*, jclass cls, const char* message) {
    enterJni("ThrowNew");
    requireNonNull(cls, "ThrowNew", "the class");
    FrameWriter w;
    w.u8(kOpThrowNew);
    w.i64(toHandle(cls));
    w.u8(message ? 1 : 0);
    if (message) w.data(message, std::strlen(message));
    Reply reply;
    transact("ThrowNew", w, reply);
    jint result = reply.reader.i32();
    expectComplete("ThrowNew", reply);
    return result;
}

void JNICALL fatalError(JNIEnv*, const char* message) {
    fatalJni("FATAL ERROR in native method: %s", message ? message : "");
}

}  // namespace

void installEnvFunctions(JNINativeInterface_& t) {
    t.GetVersion = getVersion;
    t.FindClass = findClass;
    t.GetObjectClass = getObjectClass;
    t.NewStringUTF = newStringUtf;
    t.NewString = newString;
    t.GetStringLength = getStringLength;
    t.GetStringChars = getStringChars;
    t.ReleaseStringChars = releaseStringChars;
    t.GetStringUTFLength = getStringUtfLength;
    t.GetStringUTFChars = getStringUtfChars;
    t.ReleaseStringUTFChars = releaseStringUtfChars;
    t.NewObjectArray = newObjectArray;
    t.SetObjectArrayElement = setObjectArrayElement;
    t.GetObjectArrayElement = getObjectArrayElement;
    t.GetArrayLength = getArrayLength;
    t.DeleteLocalRef = deleteLocalRef;
    t.DeleteGlobalRef = deleteGlobalRef;
    t.NewLocalRef = newLocalRef;
    t.NewGlobalRef = newGlobalRef;
    t.IsSameObject = isSameObject;
    t.EnsureLocalCapacity = ensureLocalCapacity;
    t.ExceptionOccurred = exceptionOccurred;
    t.ExceptionCheck = exceptionCheck;
    t.ExceptionDescribe = exceptionDescribe;
    t.ExceptionClear = exceptionClear;
    t.Throw = throwException;
    t.ThrowNew = throwNew;
    t.FatalError = fatalError;
}
