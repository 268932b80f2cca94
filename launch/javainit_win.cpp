// The Java-side initialisation between VM creation and the launcher's
// main: splash texts, the helper library, the first-run step.
#include <windows.h>

#include <jni.h>

#include "base/bounded.h"
#include "base/text_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/paths.h"
#include "launch/javavm.h"
#include "launch/jni_errors.h"
#include "launch/launchargs.h"
#include "launch/runtime_contract.h"

namespace {

constexpr size_t kSplashTextCapacity = 2000;
constexpr size_t kRuntimeDirectoryCapacity = 2000;
constexpr size_t kHelperDirectoryCapacity = 4000;

// Calling into the VM with an exception pending is undefined: a failed
// lookup or a Java call that threw is logged and cleared before going on.
void clearPendingException(JNIEnv* env) { checkJavaException(env, false); }

jint configInt(int key) { return static_cast<jint>(getConfigInt(key)); }

// Configuration texts are in the ANSI code page; NewStringUTF reads
// modified UTF-8, which only agrees with them for ASCII.
jstring newJavaString(JNIEnv* env, const char* ansi) {
    wchar_t wide[kSplashTextCapacity];
    widenFrom(CP_ACP, wide, kSplashTextCapacity, ansi);
    return env->NewStringUTF(toModifiedUtf8(wide).c_str());
}

bool helperLibraryPath(wchar_t* path, size_t cap) {
    wchar_t directory[kHelperDirectoryCapacity];
    getConfigWide(key::ApplicationDirectory, directory, kHelperDirectoryCapacity);
    bool whole = resolveRelativePathW(path, cap, directory, nullptr, false);
    if (!endsWithCharW(path, L'\\')) whole = appendCharW(path, cap, L'\\') && whole;
    whole = appendTextW(path, cap, kRuntimeFolderW) && whole;
    whole = appendCharW(path, cap, L'\\') && whole;
    return appendTextW(path, cap, kHelperLibraryW) && whole;
}

}  // namespace

void passSplashConfiguration(JNIEnv* env) {
    if (getConfigInt(key::SplashConfigFlag) == 0 || getConfigInt(key::SplashEnabled) == 0) return;
    // The splash settings live in the morlin launcher class in both families.
    jclass cls = env->FindClass(kSplashClass);
    if (!cls) {
        logError(L"could not find main class for splash properties");
        clearPendingException(env);
        return;
    }
    jmethodID method = env->GetStaticMethodID(cls, kSplashMethod, kSplashSignature);
    if (!method) {
        logError(L"could not find method for splash properties");
        clearPendingException(env);
        return;
    }
    const int textKeys[4] = {key::Splash1Text, key::Splash1Colour, key::Splash2Text, key::Splash2Colour};
    jstring texts[4];
    for (int i = 0; i < 4; ++i) {
        char text[kSplashTextCapacity];
        getConfigString(textKeys[i], text, kSplashTextCapacity);
        texts[i] = newJavaString(env, text);
    }
    jboolean setting = getConfigInt(key::SplashSetting) != 0 ? JNI_TRUE : JNI_FALSE;
    env->CallStaticVoidMethod(cls, method, JNI_TRUE, setting, texts[0], configInt(key::Splash1X),
                              configInt(key::Splash1Y), texts[1], configInt(key::Splash1A), configInt(key::Splash1B),
                              texts[2], configInt(key::Splash2X), configInt(key::Splash2Y), texts[3],
                              configInt(key::Splash2A), configInt(key::Splash2B));
    for (jstring text : texts) env->DeleteLocalRef(text);
    clearPendingException(env);
}

bool initHelperCommon(JNIEnv* env, bool flag) {
    jclass cls = env->FindClass(kCommonClass);
    if (!cls) {
        logError(L"did not find %S", kCommonClass);
        clearPendingException(env);
        return false;
    }
    bool result = false;
    jmethodID method = env->GetStaticMethodID(cls, kInitFromLauncherMethod, kInitFromLauncherSignature);
    if (method) {
        env->CallStaticVoidMethod(cls, method, flag ? JNI_TRUE : JNI_FALSE);
        result = true;
    } else {
        logError(L"did not find initMethod");
    }
    env->DeleteLocalRef(cls);
    clearPendingException(env);
    return result;
}

void loadHelperLibrary(JNIEnv* env) {
    if (launcherFamily != 'v') return;
    logLine(L"load helper dll");
    wchar_t path[kPathCapacity];
    if (!helperLibraryPath(path, kPathCapacity)) {
        logError(L"helper dll path too long: %s", path);
        return;
    }
    HMODULE library = LoadLibraryW(path);
    logLine(L"helper dll %p %s", library, path);
    if (!library) return;
    // Through a plain function pointer type: FARPROC does not convert to
    // the export's own type directly.
    auto registerNatives = reinterpret_cast<RegisterNativesFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, kRegisterNativesExport)));
    if (!registerNatives) {
        logError(L"did not find register natives in helper dll");
        return;
    }
    if (!initHelperCommon(env, true)) return;
    unsigned char registered = registerNatives(env, library, logError);
    clearPendingException(env);
    if (!registered) {
        logError(L"registering helper dll failed");
        initHelperCommon(env, false);
    }
}

FirstRunOutcome runFirstRunCheck(JNIEnv* env) {
    char directory[kRuntimeDirectoryCapacity];
    getConfigString(key::ApplicationDirectory, directory, kRuntimeDirectoryCapacity);
    char marker[kPathCapacity];
    bool whole = absolutePath(marker, kPathCapacity, directory, true);
    whole = formatText(marker + strlen(marker), kPathCapacity - strlen(marker), "\\%s\\%s", kRuntimeFolder,
                       kFirstRunMarker) && whole;
    collapseBackslashes(marker);
    if (!whole) logError(L"first-run marker path too long: %S", marker);
    if (!whole || !pathExists(marker)) return FirstRunOutcome::goOn;

    jclass cls = env->FindClass(kFirstRunClass);
    if (!cls) {
        clearPendingException(env);
        fatalInternalError(InternalError::FirstRunClassMissing);
    }
    jmethodID method = env->GetStaticMethodID(cls, kFirstRunMethod, kFirstRunSignature);
    if (!method) {
        clearPendingException(env);
        fatalInternalError(InternalError::FirstRunMethodMissing);
    }
    jboolean goOn = env->CallStaticBooleanMethod(cls, method);
    if (!checkJavaException(env, true)) return FirstRunOutcome::failed;
    return goOn != JNI_FALSE ? FirstRunOutcome::goOn : FirstRunOutcome::stop;
}
