// A jvm.dll without the JNI_CreateJavaVM entry (the home generator installs
// it under the name jvm.dll): it loads, but a launcher must refuse it.
#include <jni.h>

jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) {
    return JNI_ERR;
}

jint JNICALL JNI_GetCreatedJavaVMs(JavaVM**, jsize, jsize* count) {
    if (count) *count = 0;
    return JNI_OK;
}
