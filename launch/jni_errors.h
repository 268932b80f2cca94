// Turns a pending Java exception into log lines after a call into Java.
#pragma once

#include <jni.h>

// True when no exception is pending. Otherwise logs it (and with describe
// lets the VM print its stack trace), clears it and returns false.
bool checkJavaException(JNIEnv* env, bool describe);
