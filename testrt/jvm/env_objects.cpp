// JNI functions over classes, method ids, strings, arrays and references.
#include <set>

#include "launch/runtime_contract.h"
#include "testrt/jvm/testrt_jvm.h"

namespace {

std::set<const void*> outstandingChars;

std::string className(jobject clazz, const char* function) {
    return derefKind(clazz, Kind::Class, function)->className;
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    enter("FindClass");
    jclass result = nullptr;
    if (name && classExists(name)) result = static_cast<jclass>(newRef(classObject(name)));
    traceLine("FindClass " + quoteBytes(name) + " => " + refToken(result));
    if (!result) {
        throwNew(std::string("java.lang.NoClassDefFoundError: ") + (name ? name : "null"));
        tracePending();
    }
    return result;
}

jmethodID lookupMethod(const char* function, jclass clazz, const char* name, const char* sig, bool isStatic) {
    enter(function);
    std::string owner = className(clazz, function);
    jmethodID result = nullptr;
    if (name && sig) {
        bool exists = isStatic ? staticMethodExists(owner, name, sig)
                               : std::string(name) == kToStringMethod && std::string(sig) == kToStringSignature;
        if (exists) result = newMethodId(owner, name, sig, isStatic);
    }
    traceLine(std::string(function) + " " + refToken(clazz) + " " + quoteBytes(name) + " " + quoteBytes(sig) + " => " +
              methodToken(result));
    if (!result) {
        throwNew(std::string("java.lang.NoSuchMethodError: ") + (name ? name : "null"));
        tracePending();
    }
    return result;
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupMethod("GetStaticMethodID", clazz, name, sig, true);
}

jmethodID JNICALL getMethodId(JNIEnv*, jclass clazz, const char* name, const char* sig) {
    return lookupMethod("GetMethodID", clazz, name, sig, false);
}

jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
    enter("GetObjectClass");
    Object* target = deref(object, "GetObjectClass");
    if (!target) failMisuse("null object passed to GetObjectClass");
    std::string name = target->kind == Kind::Class ? "java/lang/Class"
                       : target->kind == Kind::Array ? "[Ljava/lang/Object;"
                                                     : target->className;
    jclass result = static_cast<jclass>(newRef(classObject(name)));
    traceLine("GetObjectClass " + refToken(object) + " => " + refToken(result));
    return result;
}

jstring JNICALL newStringUtf(JNIEnv*, const char* bytes) {
    enter("NewStringUTF");
    if (!bytes) {
        traceLine("NewStringUTF null => null");
        return nullptr;
    }
    jstring result = static_cast<jstring>(newRef(newStringObject(decodeModifiedUtf8(bytes))));
    traceLine("NewStringUTF " + quoteUtf16(decodeModifiedUtf8(bytes)) + " => " + refToken(result));
    return result;
}

jstring JNICALL newString(JNIEnv*, const jchar* chars, jsize length) {
    enter("NewString");
    if (length < 0 || (!chars && length > 0)) failMisuse("bad characters or length passed to NewString");
    std::u16string text;
    for (jsize i = 0; i < length; ++i) text += static_cast<char16_t>(chars[i]);
    jstring result = static_cast<jstring>(newRef(newStringObject(text)));
    traceLine("NewString " + quoteUtf16(text) + " " + std::to_string(length) + " => " + refToken(result));
    return result;
}

jsize JNICALL getStringLength(JNIEnv*, jstring string) {
    enter("GetStringLength");
    jsize length = static_cast<jsize>(derefKind(string, Kind::String, "GetStringLength")->text.size());
    traceLine("GetStringLength " + refToken(string) + " => " + std::to_string(length));
    return length;
}

const jchar* JNICALL getStringChars(JNIEnv*, jstring string, jboolean* isCopy) {
    enter("GetStringChars");
    const std::u16string& text = derefKind(string, Kind::String, "GetStringChars")->text;
    jchar* copy = new jchar[text.size() + 1];
    for (size_t i = 0; i < text.size(); ++i) copy[i] = text[i];
    copy[text.size()] = 0;
    outstandingChars.insert(copy);
    if (isCopy) *isCopy = JNI_TRUE;
    traceLine("GetStringChars " + refToken(string) + " => " + quoteUtf16(text));
    return copy;
}

void releaseChars(const char* function, jstring string, const void* chars) {
    enter(function, true);
    derefKind(string, Kind::String, function);
    if (!outstandingChars.erase(chars)) failMisuse(std::string("characters not from GetString*Chars passed to ") + function);
    traceLine(std::string(function) + " " + refToken(string));
}

void JNICALL releaseStringChars(JNIEnv*, jstring string, const jchar* chars) {
    releaseChars("ReleaseStringChars", string, chars);
}

const char* JNICALL getStringUtfChars(JNIEnv*, jstring string, jboolean* isCopy) {
    enter("GetStringUTFChars");
    const std::u16string& text = derefKind(string, Kind::String, "GetStringUTFChars")->text;
    std::string bytes = encodeModifiedUtf8(text);
    char* copy = new char[bytes.size() + 1];
    bytes.copy(copy, bytes.size());
    copy[bytes.size()] = 0;
    outstandingChars.insert(copy);
    if (isCopy) *isCopy = JNI_TRUE;
    traceLine("GetStringUTFChars " + refToken(string) + " => " + quoteUtf16(text));
    return copy;
}

void JNICALL releaseStringUtfChars(JNIEnv*, jstring string, const char* chars) {
    releaseChars("ReleaseStringUTFChars", string, chars);
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    enter("NewObjectArray");
    derefKind(elementClass, Kind::Class, "NewObjectArray");
    Object* init = deref(initial, "NewObjectArray");
    jobjectArray result = nullptr;
    if (length >= 0) {
        Object* array = newStringObject(u"");
        array->kind = Kind::Array;
        array->className = "[L" + className(elementClass, "NewObjectArray") + ";";
        array->elements.assign(static_cast<size_t>(length), init);
        result = static_cast<jobjectArray>(newRef(array));
    }
    traceLine("NewObjectArray " + std::to_string(length) + " " + refToken(elementClass) + " " + refToken(initial) +
              " => " + refToken(result));
    if (!result) {
        throwNew("java.lang.NegativeArraySizeException: " + std::to_string(length));
        tracePending();
    }
    return result;
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    enter("SetObjectArrayElement");
    Object* target = derefKind(array, Kind::Array, "SetObjectArrayElement");
    Object* element = deref(value, "SetObjectArrayElement");
    traceLine("SetObjectArrayElement " + refToken(array) + " " + std::to_string(index) + " " + refToken(value));
    if (index < 0 || static_cast<size_t>(index) >= target->elements.size()) {
        throwNew("java.lang.ArrayIndexOutOfBoundsException: Index " + std::to_string(index) + " out of bounds for length " +
                 std::to_string(target->elements.size()));
        tracePending();
        return;
    }
    target->elements[static_cast<size_t>(index)] = element;
}

void JNICALL deleteLocalRef(JNIEnv*, jobject ref) {
    enter("DeleteLocalRef", true);
    std::string token = refToken(ref);
    deleteRef(ref, "DeleteLocalRef");
    traceLine("DeleteLocalRef " + token);
}

}  // namespace

void fillEnvTable(JNINativeInterface_& table) {
    table.FindClass = findClass;
    table.GetStaticMethodID = getStaticMethodId;
    table.GetMethodID = getMethodId;
    table.GetObjectClass = getObjectClass;
    table.NewStringUTF = newStringUtf;
    table.NewString = newString;
    table.GetStringLength = getStringLength;
    table.GetStringChars = getStringChars;
    table.ReleaseStringChars = releaseStringChars;
    table.GetStringUTFChars = getStringUtfChars;
    table.ReleaseStringUTFChars = releaseStringUtfChars;
    table.NewObjectArray = newObjectArray;
    table.SetObjectArrayElement = setObjectArrayElement;
    table.DeleteLocalRef = deleteLocalRef;
}
