// The object world behind the test JNI functions: objects (classes,
// strings, arrays, throwables), the local references handed out for them,
// and method ids. Nothing is ever freed: a test process is short, and a
// reference used after DeleteLocalRef must be caught, not reused.
#include <algorithm>
#include <deque>
#include <map>
#include <set>

#include "launch/runtime_contract.h"
#include "testrt/jvm/testrt_jvm.h"

namespace {

struct Ref {
    int id;
    Object* object;
    bool deleted;
};

std::deque<Object> objects;
std::deque<Ref> refs;
std::set<const void*> knownRefs;
std::map<std::string, Object*> classes;
std::deque<Method> methods;
std::set<const void*> knownMethods;

Ref* findRef(jobject ref, const char* function) {
    Ref* r = reinterpret_cast<Ref*>(ref);
    if (!knownRefs.count(r)) failMisuse(std::string("invalid reference passed to ") + function);
    if (r->deleted) failMisuse("deleted reference @" + std::to_string(r->id) + " passed to " + function);
    return r;
}

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::Class: return "class";
        case Kind::String: return "string";
        case Kind::Array: return "array";
        case Kind::Throwable: return "throwable";
    }
    return "object";
}

bool listed(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

jobject newRef(Object* object) {
    if (!object) return nullptr;
    refs.push_back(Ref{static_cast<int>(refs.size()) + 1, object, false});
    Ref* r = &refs.back();
    knownRefs.insert(r);
    return reinterpret_cast<jobject>(r);
}

Object* deref(jobject ref, const char* function) {
    return ref ? findRef(ref, function)->object : nullptr;
}

Object* derefKind(jobject ref, Kind kind, const char* function) {
    if (!ref) failMisuse(std::string("null ") + kindName(kind) + " passed to " + function);
    Object* object = findRef(ref, function)->object;
    if (object->kind != kind)
        failMisuse(std::string(kindName(object->kind)) + " passed to " + function + " where a " + kindName(kind) +
                   " belongs");
    return object;
}

bool deleteRef(jobject ref, const char* function) {
    if (!ref) return false;
    findRef(ref, function)->deleted = true;
    return true;
}

std::string refToken(jobject ref) {
    if (!ref) return "null";
    Ref* r = reinterpret_cast<Ref*>(ref);
    return knownRefs.count(r) ? "@" + std::to_string(r->id) : "@invalid";
}

Object* classObject(const std::string& name) {
    auto found = classes.find(name);
    if (found != classes.end()) return found->second;
    objects.push_back(Object{Kind::Class, name, {}, {}});
    classes[name] = &objects.back();
    return &objects.back();
}

Object* newStringObject(const std::u16string& text) {
    objects.push_back(Object{Kind::String, kStringClass, text, {}});
    return &objects.back();
}

// The class of a throwable is the part of its text before ": ".
Object* newThrowable(const std::string& toStringText) {
    std::string name = toStringText.substr(0, toStringText.find(':'));
    std::replace(name.begin(), name.end(), '.', '/');
    if (name.empty() || name.find(' ') != std::string::npos) name = "java/lang/Throwable";
    objects.push_back(Object{Kind::Throwable, name, utf8ToUtf16(toStringText), {}});
    return &objects.back();
}

jmethodID newMethodId(const std::string& className, const std::string& name, const std::string& signature,
                      bool isStatic) {
    for (Method& m : methods) {
        if (m.className == className && m.name == name && m.signature == signature && m.isStatic == isStatic)
            return reinterpret_cast<jmethodID>(&m);
    }
    methods.push_back(Method{static_cast<int>(methods.size()) + 1, className, name, signature, isStatic});
    knownMethods.insert(&methods.back());
    return reinterpret_cast<jmethodID>(&methods.back());
}

Method* derefMethod(jmethodID id, const char* function) {
    if (!id) failMisuse(std::string("null method id passed to ") + function);
    if (!knownMethods.count(id)) failMisuse(std::string("invalid method id passed to ") + function);
    return reinterpret_cast<Method*>(id);
}

std::string methodToken(jmethodID id) {
    if (!id) return "null";
    return knownMethods.count(id) ? "#" + std::to_string(reinterpret_cast<Method*>(id)->id) : "#invalid";
}

// The default world: java/lang/String and the runtime contract's classes
// and static methods, less what the script declares missing.
bool classExists(const std::string& name) {
    if (listed(script().missingClasses, name)) return false;
    if (name == kStringClass || name == "java/lang/Object") return true;
    for (const RuntimeStaticMethod& m : kRuntimeStaticMethods) {
        if (name == m.className) return true;
    }
    return false;
}

bool staticMethodExists(const std::string& className, const std::string& name, const std::string& signature) {
    if (listed(script().missingMethods, className + "." + name)) return false;
    for (const RuntimeStaticMethod& m : kRuntimeStaticMethods) {
        if (className == m.className && name == m.name && signature == m.signature) return true;
    }
    return false;
}
