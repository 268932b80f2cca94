// Benchmark baseline: the least a launcher must do, load a jvm.dll and call
// its JNI_CreateJavaVM. The recording test runtime measures the time from
// process creation to that call, so launcher and baseline are timed alike.
//
//   loadcall.exe PATH\TO\jvm.dll
//
// Built twice: loadcall.exe needs nothing but kernel32; loadcall_registry.exe
// also reads one registry value first, as any launcher with a version cache
// must, which brings in advapi32 and its start-up cost.
#include <windows.h>

#include <jni.h>

#include <cstdio>

typedef jint(JNICALL* CreateFunction)(JavaVM**, void**, void*);

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: loadcall JVM.DLL\n");
        return 2;
    }
#ifdef VTL_LOADCALL_REGISTRY
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\brevane\\morlin\\jvms", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        wchar_t value[64];
        DWORD size = sizeof value;
        RegQueryValueExW(key, L"version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
    }
#endif
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) return 3;
    CreateFunction create = reinterpret_cast<CreateFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "JNI_CreateJavaVM")));
    if (!create) return 4;
    JavaVMInitArgs args = {};
    args.version = JNI_VERSION_1_2;
    JavaVM* vm = nullptr;
    void* env = nullptr;
    return create(&vm, &env, &args) == 0 ? 0 : 5;
}
