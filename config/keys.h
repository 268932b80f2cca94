// Numbers of the configuration keys and message ids the launcher reads,
// and of the messages older blocks still carry. The catalogue
// (config/catalogue.cpp) gives each one its readable name, type and default.
#pragma once

namespace key {
constexpr int ServiceName = 101;
constexpr int RedirectErrFlag = 102;
constexpr int RedirectErrFile = 103;
constexpr int RedirectOutFlag = 104;
constexpr int RedirectOutFile = 105;
constexpr int RuntimeFlag106 = 106;
constexpr int ExecutableType = 107;
constexpr int SplashConfigFlag = 108;
constexpr int ClassPath = 121;
constexpr int MainClass = 122;
constexpr int VmOptions = 123;
constexpr int FixedArguments = 124;
constexpr int JavaArgumentsAsVmOptions = 125;
constexpr int MinVersion = 126;
constexpr int MaxVersion = 127;
constexpr int SearchSequence = 128;
constexpr int AllowPreRelease = 130;
constexpr int RequireJdk = 131;
constexpr int WorkingDirectory = 146;
constexpr int ServiceDependencies = 149;
constexpr int PreferredVmType = 152;
constexpr int GlobalSemaphore = 158;
constexpr int ApplicationId = 160;
constexpr int SplashSetting = 163;
constexpr int OnlyOwnRuntimes = 165;
constexpr int ServiceStopTimeout = 170;  // seconds; absent or 0: 30
// Running unattended: restarts by the service process, recovery actions and
// start type and account registered at install, the service log, and the
// rolling of the service log and the redirection files.
constexpr int ServiceRestart = 171;            // "never", "on-failure", "always"
constexpr int ServiceRestartDelay = 172;       // seconds before the first restart
constexpr int ServiceRestartMaxDelay = 173;    // seconds the doubling delay stops at
constexpr int ServiceRestartResetAfter = 174;  // seconds of running that start the count over
constexpr int ServiceRestartLimit = 175;       // restarts before the service gives up
constexpr int ServiceOnFailure = 176;          // SCM recovery actions, "restart 60;none"
constexpr int ServiceFailureResetAfter = 177;  // seconds after which the SCM's failure count resets
constexpr int ServiceStart = 178;              // "auto", "delayed-auto", "demand"
constexpr int ServiceAccount = 179;            // the account the service runs as
constexpr int ServiceLog = 180;                // the service log file, or "none"
constexpr int ServiceLogMaxSize = 181;         // bytes; absent: the log never rolls
constexpr int ServiceLogKeep = 182;            // rolled service logs kept
constexpr int RedirectMaxSize = 183;           // bytes; absent: the redirection files never roll
constexpr int RedirectKeep = 184;              // rolled redirection files kept
constexpr int ClassDataSharing = 190;  // 1: the launcher manages class-data sharing; absent or 0: off
constexpr int LauncherFamily = 2001;
constexpr int EmbeddedFileCount = 2002;
constexpr int EmbeddedFileNames = 2003;
constexpr int ApplicationDirectory = 10003;
constexpr int NativeLibraryDirectories = 10004;
constexpr int SingleInstance = 10005;
constexpr int BringToFront = 10007;
constexpr int Splash1X = 10109;
constexpr int Splash1Y = 10110;
constexpr int Splash1Text = 10111;
constexpr int Splash1A = 10113;
constexpr int Splash1Colour = 10114;
constexpr int Splash1B = 10115;
constexpr int Splash2X = 10116;
constexpr int Splash2Y = 10117;
constexpr int Splash2Text = 10118;
constexpr int Splash2A = 10120;
constexpr int Splash2Colour = 10121;
constexpr int Splash2B = 10122;
constexpr int SplashEnabled = 10123;
constexpr int VersionOptionCount = 10200;
constexpr int VersionOptionBase = 10201;  // 10201 + 2i prefix, 10202 + 2i options
}  // namespace key

namespace msg {
constexpr int ErrorCaption = 1000;
constexpr int NoJvmFoundGeneric = 1001;  // not shown; translated for older blocks
constexpr int PathJvmDamaged = 1002;  // not shown
constexpr int EnvVarJvmBrokenGeneric = 1003;  // not shown
constexpr int DirectoryJvmBrokenGeneric = 1004;  // not shown
constexpr int JvmStartFailed = 1005;
constexpr int ClassPathEntryMissing = 1006;
constexpr int WrongParameterUsage = 1007;  // not shown
constexpr int EnvVarUndefined = 1008;
constexpr int InternalError = 1009;
constexpr int MainClassNotFound = 1010;
constexpr int MainMethodNotFound = 1011;
constexpr int ErrorTitle = 1012;  // not shown
constexpr int OkButton = 1013;  // not shown
constexpr int StartupError = 1014;  // not shown
constexpr int NoTempDirectory = 1015;
constexpr int NoJvmFound = 1016;
constexpr int EnvVarJvmBroken = 1017;
constexpr int EnvVarJvmBroken64 = 1018;
constexpr int DirectoryJvmBroken = 1019;
constexpr int DirectoryJvmBroken64 = 1020;
constexpr int ServiceDescription = 20017;
}  // namespace msg
