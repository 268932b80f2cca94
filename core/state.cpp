// Definitions of the values core/state.h declares (see there for who
// writes each). At namespace scope rather than as function-local statics:
// nothing reads them before main, and a local static's thread-safe guard
// would link the threading and exception runtime into the launcher.
#include "core/state.h"

char serviceName[kPathCapacity] = "";
bool serviceMode = true;
bool noRedirect = false;
char launcherFamily = 0;

std::map<int, std::string> configValues;
std::map<int, std::wstring> messageTexts;
uint64_t fileAreaOffset = 0;
char detectedLocaleCode[9] = "en";

bool launcherModuleKnown = false;
char launcherModulePath[kPathCapacity];
wchar_t launcherModulePathW[kPathCapacity];
bool launcherDirectoryKnown = false;
char launcherDirectoryPath[kPathCapacity];
wchar_t launcherDirectoryPathW[kPathCapacity];
wchar_t launcherDirectoryFromNarrowW[kPathCapacity];
char* tempBase = nullptr;
wchar_t* tempBaseW = nullptr;
char tempDirectory[kPathCapacity] = "";
uint64_t unextractedBytes = 0;

char* semaphoreName = nullptr;

char selectedJvmHome[kPathCapacity];
const char* selectedJvmVersion = nullptr;
CreateJavaVMFunction createJavaVMEntry = nullptr;

wchar_t defaultOptionFilePath[kPathCapacity + 16];
IncludeChain openOptionFiles;
OptionList vmOptions;
std::vector<JavaVMOption> vmOptionRecords;
JavaVMInitArgs vmInitArgs;
JavaVM* javaVm = nullptr;
JNIEnv* mainEnv = nullptr;

ServiceStatusRecord serviceStatus;
ShutdownChannel shutdownChannel;
wchar_t serviceChildCommandLine[kLongCapacity];

wchar_t serviceLogPath[kPathCapacity];
uint64_t serviceLogMaxSize = 0;
unsigned serviceLogKeep = 8;
uint64_t serviceLogSize = 0;
bool serviceLogFailing = false;
uint32_t serviceLogRetryTick = 0;

bool messageBoxesShown = true;

bool logInitialised = false;
bool haveLogPath = false;
wchar_t logPath[kPathCapacity];
