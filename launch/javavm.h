// Creating the Java VM and calling the launcher class's main.
#pragma once

#include "core/cmdline.h"
#include "launch/vmoptions.h"

// Returns true when the launch completed (main returned without an
// exception, or the first-run step answered false); false after a Java-side
// failure (an exception from main or from the first-run step), once the VM
// has been destroyed when asked. Fatal errors end inside.
bool launchApplication(const ArgumentVector& arguments, bool destroyAfterMain);

#ifdef _WIN32
struct JNIEnv_;  // jni.h: typedef JNIEnv_ JNIEnv (C++)
typedef JNIEnv_ JNIEnv;

bool createJavaVm(const ArgumentVector& arguments, const OptionList& launcherProperties);
// False when main, or the first-run step before it, ended with an exception.
bool invokeLauncherMain(JNIEnv* env, const ArgumentVector& arguments);

// The Java-side initialisation between VM creation and main.
void passSplashConfiguration(JNIEnv* env);
void loadHelperLibrary(JNIEnv* env);
bool initHelperCommon(JNIEnv* env, bool flag);
enum class FirstRunOutcome { goOn, stop, failed };
// goOn when main is to be called; stop when the step answered false;
// failed when it threw.
FirstRunOutcome runFirstRunCheck(JNIEnv* env);
#endif
