// Loading jvm.dll for an accepted java executable, and the chosen runtime.
#pragma once

#include <jni.h>
#include <windows.h>

#include "core/state.h"



HMODULE loadJvmFromJavaExe(const char* javaExe);
HMODULE loadJvmFromBinDir(const char* javaExe);
HMODULE tryJvmDll(const char* binDirectory, const char* vmType);
bool resolveCreateJavaVM(HMODULE module);
void recordSelectedJvm(const char* javaExe, const char* version);
