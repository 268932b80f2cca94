// Creating the Java VM and calling the launcher class's main.
#pragma once

#include "core/cmdline.h"
#include "launch/vmoptions.h"

// Returns true when the launch completed (main returned without an
// exception, or the first-run step stopped it); fatal errors end inside.
bool launchApplication(const ArgumentVector& arguments, bool destroyAfterMain);

#ifdef _WIN32
struct JNIEnv_;  // jni.h: typedef JNIEnv_ JNIEnv (C++)
typedef JNIEnv_ JNIEnv;

bool createJavaVm(const ArgumentVector& arguments, const OptionList& launcherProperties);
bool invokeLauncherMain(JNIEnv* env, const ArgumentVector& arguments);

// The Java-side initialisation between VM creation and main.
void passSplashConfiguration(JNIEnv* env);
void loadHelperLibrary(JNIEnv* env);
bool initHelperCommon(JNIEnv* env, bool flag);
// True when main is to be called.
bool runFirstRunCheck(JNIEnv* env);
#endif
