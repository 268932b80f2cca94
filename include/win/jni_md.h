/* Machine-dependent JNI types for Windows, used ahead of the JDK's Linux
   header when cross-building: on Windows jint is a long and jlong a 64-bit
   integer on both processor widths, and JNI calls use __stdcall. */
#ifndef VTL_JNI_MD_H
#define VTL_JNI_MD_H

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
