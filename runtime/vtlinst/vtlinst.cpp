// Helper library of the vantrel family's Java-side runtime. The launcher
// loads it from the runtime folder and calls registerNatives once, right
// after Common.initFromLauncher(true). The Java side declares no native
// methods at present, so nothing is registered; the library only confirms
// that it was reached, through the launcher's own error-log routine, so that
// the line lands in the launcher's diagnostic log.
#include <windows.h>
#include <jni.h>

#include <type_traits>

#include "launch/runtime_contract.h"

extern "C" __declspec(dllexport) unsigned char registerNatives(JNIEnv* env, HMODULE module,
                                                               void (*errorLog)(const wchar_t* format, ...));

static_assert(std::is_same<decltype(&registerNatives), RegisterNativesFunction>::value,
              "registerNatives must keep the type the launcher calls it with");

extern "C" unsigned char registerNatives(JNIEnv* env, HMODULE module, void (*errorLog)(const wchar_t* format, ...)) {
    (void)module;
    // Without an environment there is no VM to register with.
    if (!env) return 0;
    if (errorLog) errorLog(L"vtlinst: natives ready");
    return 1;
}
