// What the launcher looks up by name in the Java-side launcher runtime
// (vtlruntime.jar) and in its helper library (vtlinst.dll). The launcher,
// the helper library and the recording test runtime all take these names
// from here, and runtime/tests/test_runtime_contract.py reads this file
// and checks every class, method and descriptor against the compiled jar,
// so the two sides cannot drift apart.
//
// Kept free of windows.h and jni.h so that any file can include it. Every
// text constant is a plain string literal on one line (the conformance test
// parses them); do not build one constant from another.
#pragma once

struct JNIEnv_;      // jni.h: typedef JNIEnv_ JNIEnv (C++)
struct HINSTANCE__;  // windows.h: typedef HINSTANCE__* HMODULE (STRICT)

// Classes, in the slash form FindClass takes.
constexpr char kVantrelLauncherClass[] = "com/vantrel/runtime/launcher/WinLauncher";  // family 'v'
constexpr char kMorlinLauncherClass[] = "com/morlin/runtime/WinLauncher";  // every other family
constexpr char kSplashClass[] = "com/morlin/runtime/WinLauncher";  // for both families
constexpr char kCommonClass[] = "com/vantrel/runtime/installer/platform/win32/Common";
constexpr char kFirstRunClass[] = "com/vantrel/runtime/launcher/FirstRun";
constexpr char kStringClass[] = "java/lang/String";

// Static methods and their JNI descriptors.
constexpr char kMainMethod[] = "main";
constexpr char kMainSignature[] = "([Ljava/lang/String;)V";
constexpr char kSplashMethod[] = "initAwtSplashConfig";
constexpr char kSplashSignature[] = "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V";
constexpr char kInitFromLauncherMethod[] = "initFromLauncher";
constexpr char kInitFromLauncherSignature[] = "(Z)V";
constexpr char kFirstRunMethod[] = "firstRun";
constexpr char kFirstRunSignature[] = "()Z";

// Instance method used to describe a pending exception.
constexpr char kToStringMethod[] = "toString";
constexpr char kToStringSignature[] = "()Ljava/lang/String;";

// Every static method the launcher calls in the runtime archive. The
// conformance test checks each row; the test runtime's default class
// world holds exactly these.
struct RuntimeStaticMethod {
    const char* className;
    const char* name;
    const char* signature;
};
constexpr RuntimeStaticMethod kRuntimeStaticMethods[] = {
    {kVantrelLauncherClass, kMainMethod, kMainSignature},
    {kMorlinLauncherClass, kMainMethod, kMainSignature},
    {kSplashClass, kSplashMethod, kSplashSignature},
    {kCommonClass, kInitFromLauncherMethod, kInitFromLauncherSignature},
    {kFirstRunClass, kFirstRunMethod, kFirstRunSignature},
};

// Files below the application directory's runtime folder.
constexpr char kRuntimeFolder[] = ".vantrel";
constexpr wchar_t kRuntimeFolderW[] = L".vantrel";
constexpr char kRuntimeArchive[] = "vtlruntime.jar";
constexpr wchar_t kRuntimeArchiveW[] = L"vtlruntime.jar";
constexpr char kHelperLibrary[] = "vtlinst.dll";
constexpr wchar_t kHelperLibraryW[] = L"vtlinst.dll";
constexpr char kFirstRunMarker[] = "firstrun";  // only tested for existence
constexpr wchar_t kFirstRunMarkerW[] = L"firstrun";

// The helper library's one export. It is a plain C (cdecl) function, so
// the name is undecorated on both processor widths. errorLog is the
// launcher's error-log routine (wide format, Windows conventions). The
// result is non-zero on success.
constexpr char kRegisterNativesExport[] = "registerNatives";
typedef void (*HelperErrorLog)(const wchar_t* format, ...);
typedef unsigned char (*RegisterNativesFunction)(JNIEnv_* env, HINSTANCE__* module, HelperErrorLog errorLog);

// System properties the launcher passes and the runtime reads.
constexpr char kPropSemaphoreName[] = "morlin.semaphoreName";
constexpr char kPropIsVantrel[] = "morlin.isVantrel";
constexpr char kPropIsService[] = "morlin.isService";
constexpr char kPropModuleName[] = "morlin.moduleName";
constexpr char kPropTempDir[] = "morlin.tempDir";
constexpr char kPropUnextractedPosition[] = "morlin.unextractedPosition";
constexpr char kPropConsoleCodepage[] = "morlin.consoleCodepage";
constexpr char kPropJavaCommand[] = "sun.java.command";
constexpr char kPropLibraryPath[] = "java.library.path";
constexpr char kPropClassPath[] = "java.class.path";
constexpr char kPropNoRedirect[] = "vantrel.noRedir";
// The rolling of the redirection files, passed only when the project asks for it.
constexpr char kPropRedirectMaxSize[] = "vantrel.redirect.maxSize";
constexpr char kPropRedirectKeep[] = "vantrel.redirect.keep";

// Positions in the String[] handed to the launcher class's main; the
// application's own arguments follow from kArgFirstApplication on.
constexpr int kArgGuiType = 0;      // "true" or "false"
constexpr int kArgMainClass = 1;    // dotted class name
constexpr int kArgErrorFile = 2;    // error-stream file, "" for none
constexpr int kArgOutputFile = 3;   // output-stream file, "" for none
constexpr int kArgRuntimeFlag = 4;  // "true" or "false"
constexpr int kArgFirstApplication = 5;

// The line on the service child's standard input that ends the application
// (end of input does the same).
constexpr char kServiceStopLine[] = "0";
