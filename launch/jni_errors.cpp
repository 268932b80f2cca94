#include <jni.h>

#include "base/bounded.h"
#include "core/log.h"
#include "launch/jni_errors.h"
#include "launch/runtime_contract.h"

bool checkJavaException(JNIEnv* env, bool describe) {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) return true;
    logError(L"an exception occurred");
    // Describing the exception must not be confused by the pending one.
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(exception);
    jmethodID toString = cls ? env->GetMethodID(cls, kToStringMethod, kToStringSignature) : nullptr;
    jstring text = toString ? static_cast<jstring>(env->CallObjectMethod(exception, toString)) : nullptr;
    if (text && !env->ExceptionCheck()) {
        const jchar* chars = env->GetStringChars(text, nullptr);
        if (chars) {
            jsize length = env->GetStringLength(text);
            static wchar_t line[6000];
            size_t n = length < 5999 ? static_cast<size_t>(length) : 5999;
            for (size_t i = 0; i < n; ++i) line[i] = static_cast<wchar_t>(chars[i]);
            line[n] = 0;
            logError(L"%s", line);
            env->ReleaseStringChars(text, chars);
        }
    }
    env->ExceptionClear();
    if (describe) {
        env->Throw(exception);
        env->ExceptionDescribe();
    }
    env->ExceptionClear();
    return false;
}
