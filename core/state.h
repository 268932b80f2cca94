// Every value the launcher keeps for the whole life of the process, in one
// place. Each line says who writes the value and when; every other user
// only reads it. Values of Windows types are in core/state_win.h, in the
// same order. Nothing else in the launcher lives at namespace scope except
// constants.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/limits.h"
#include "launch/vmoptions.h"
#include "service/shutdown.h"
#include "service/status.h"

typedef jint(JNICALL* CreateJavaVMFunction)(JavaVM**, void**, void*);

// --- What this run is (core/, first thing at start).
extern char serviceName[kPathCapacity];  // main_win.cpp: the configured name, or the one the command gives
extern bool serviceMode;                 // main_win.cpp: false only for /run and /run-redirect
extern bool noRedirect;                  // main_win.cpp: true only for /run
extern char launcherFamily;              // launch_win.cpp: 'v' or 'm', from config key 2001

// --- The configuration (config/, while the block is read at start; only
// read after that).
extern std::map<int, std::string> configValues;  // config/store.cpp, one entry per stored key
extern std::map<int, std::wstring> messageTexts;  // config/store.cpp, one entry per stored message
extern uint64_t fileAreaOffset;                   // config/block_win.cpp: where the embedded files start
extern char detectedLocaleCode[9];                // config/locale.cpp, when the locale is detected

// --- Files (files/).
extern bool launcherModuleKnown;                  // paths_win.cpp, on the first ask for the module path
extern char launcherModulePath[kPathCapacity];    // ... the executable's path, narrow
extern wchar_t launcherModulePathW[kPathCapacity];  // ... and wide
extern bool launcherDirectoryKnown;                 // paths_win.cpp, on the first ask for the directory
extern char launcherDirectoryPath[kPathCapacity];   // ... the executable's folder, narrow
extern wchar_t launcherDirectoryPathW[kPathCapacity];  // ... and wide
extern wchar_t launcherDirectoryFromNarrowW[kPathCapacity];  // ... and the narrow form widened byte by byte
extern char* tempBase;                            // temp_win.cpp, on the first ask for the temporary base
extern wchar_t* tempBaseW;                        // ... and its wide form
extern char tempDirectory[kPathCapacity];         // temp_win.cpp createTempDirectory; empty when there is none
                                                  // (extract_win.cpp empties it when there is nothing to extract)
extern uint64_t unextractedBytes;                 // extract_win.cpp: bytes of the file area not yet written out

// --- The single-instance guard (instance/guard_win.cpp checkSingleInstance).
extern char* semaphoreName;  // null until the guard has run

// --- The chosen runtime (jvm/loading_win.cpp, once the search accepts one).
extern char selectedJvmHome[kPathCapacity];
extern const char* selectedJvmVersion;           // null until recorded
extern CreateJavaVMFunction createJavaVMEntry;   // JNI_CreateJavaVM of the loaded jvm.dll

// --- The VM (launch/). The VM keeps pointers into the option records, so
// they live until the process ends.
extern wchar_t defaultOptionFilePath[kPathCapacity + 16];  // vmoptions_win.cpp: the default option file that opened
extern IncludeChain openOptionFiles;             // vmoptions_win.cpp: option files open now, outermost first
extern OptionList vmOptions;                     // vmargs_win.cpp, while the VM arguments are built
extern std::vector<JavaVMOption> vmOptionRecords;  // ... the records handed to the VM
extern JavaVMInitArgs vmInitArgs;                // ... and their header
extern JavaVM* javaVm;                           // javavm_win.cpp, once creation succeeded
extern JNIEnv* mainEnv;                          // ... the main thread's environment

// --- The service process (service/runtime_win.cpp). The handler thread
// and the service thread both change these, under serviceLock.
extern ServiceStatusRecord serviceStatus;        // the record reported to the SCM
extern ShutdownChannel shutdownChannel;          // the child's standard input, once the child runs
extern wchar_t serviceChildCommandLine[kLongCapacity];  // built before the child starts

// --- The service log (service/servicelog_win.cpp openServiceLog, in
// serviceMain; then the drain threads, the service thread and the handler
// write lines under serviceLogLock).
extern wchar_t serviceLogPath[kPathCapacity];  // empty: no service log
extern uint64_t serviceLogMaxSize;             // 0: the log never rolls
extern unsigned serviceLogKeep;                // rolled logs kept
extern uint64_t serviceLogSize;                // bytes in the open log
extern bool serviceLogFailing;                 // the last open or write failed
extern uint32_t serviceLogRetryTick;           // ... and when it may be tried again

// --- Error reporting (core/errors_win.cpp setMessageBoxMode, at start and
// for the service process).
extern bool messageBoxesShown;

// --- The log (core/log_win.cpp, on the first line written).
extern bool logInitialised;
extern bool haveLogPath;
extern wchar_t logPath[kPathCapacity];
