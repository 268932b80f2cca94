// The JVM search: location files, the configured sequence, the relative
// pass, earlier installations and the fixed environment variables.
#pragma once

// True when a jvm.dll is loaded and its JNI_CreateJavaVM entry stored.
bool LoadDLL(bool reportFailures);
