// The script that steers the test jvm.dll: which classes and methods exist
// and how the launcher's Java calls behave. Format and keys: testrt/README.md.
#include <cstdlib>

#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

namespace {

Script loaded;
bool isLoaded = false;

std::wstring libraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&libraryFolder), &self);
    return moduleFolder(self);
}

std::wstring parentFolder(const std::wstring& folder) {
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? folder : folder.substr(0, slash);
}

bool fileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[32768];
    DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

// The library's folder and up to four above it: bin\server\jvm.dll finds
// the home's script, jre\bin\server\jvm.dll of a JDK finds the JDK's.
std::wstring findScript(const std::wstring& folder) {
    std::wstring candidate = folder;
    for (int level = 0; level <= 4; ++level) {
        if (fileExists(candidate + L"\\testrt-jvm.ini")) return candidate + L"\\testrt-jvm.ini";
        candidate = parentFolder(candidate);
    }
    return std::wstring();
}

std::vector<std::string> splitList(const std::string& value) {
    std::vector<std::string> items;
    std::string item;
    for (char c : value + " ") {
        if (c == ' ' || c == '\t' || c == ',') {
            if (!item.empty()) items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return items;
}

[[noreturn]] void badSetting(const Setting& s, const std::string& problem) {
    failTestRuntime(toUtf8(loaded.path) + ":" + std::to_string(s.line) + ": " + problem, kExitBadScript);
}

long long integerSetting(const Setting& s, bool nonNegative) {
    long long value = 0;
    if (!parseInteger(s.value, value) || (nonNegative && value < 0)) badSetting(s, "bad number for " + s.key);
    return value;
}

void applySetting(const Setting& s) {
    const std::string& v = s.value;
    if (s.key == "create_result") loaded.createResult = integerSetting(s, false);
    else if (s.key == "create_stderr") loaded.createStderr = unescapeValue(v);
    else if (s.key == "missing_classes") loaded.missingClasses = splitList(v);
    else if (s.key == "missing_methods") loaded.missingMethods = splitList(v);
    else if (s.key == "main") {
        if (v == "return") loaded.main = MainAction::Return;
        else if (v == "throw") loaded.main = MainAction::Throw;
        else if (v == "exit") loaded.main = MainAction::Exit;
        else if (v == "wait-stop") loaded.main = MainAction::WaitStop;
        else badSetting(s, "main must be return, throw, exit or wait-stop");
    } else if (s.key == "main_exception") loaded.mainException = unescapeValue(v);
    else if (s.key == "main_exit_code") loaded.mainExitCode = integerSetting(s, false);
    else if (s.key == "main_stdout") loaded.mainStdout = unescapeValue(v);
    else if (s.key == "main_stderr") loaded.mainStderr = unescapeValue(v);
    else if (s.key == "main_delay_ms") loaded.mainDelayMs = integerSetting(s, true);
    else if (s.key == "stop_action") {
        if (v == "exit") loaded.stopAction = StopAction::Exit;
        else if (v == "return") loaded.stopAction = StopAction::Return;
        else badSetting(s, "stop_action must be exit or return");
    } else if (s.key == "first_run") {
        if (v == "true") loaded.firstRun = FirstRunAction::True;
        else if (v == "false") loaded.firstRun = FirstRunAction::False;
        else if (v == "throw") loaded.firstRun = FirstRunAction::Throw;
        else badSetting(s, "first_run must be true, false or throw");
    } else if (s.key == "first_run_exception") loaded.firstRunException = unescapeValue(v);
    else if (s.key == "destroy_wait_ms") loaded.destroyWaitMs = integerSetting(s, true);
    else if (s.key == "load_libraries") loaded.loadLibraries = splitList(v);
    else if (s.key == "trace") loaded.tracePath = fromUtf8(v);
    else badSetting(s, "unknown key " + s.key);
}

bool isAbsolute(const std::wstring& path) {
    return (path.size() > 1 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

void loadScript() {
    std::wstring folder = libraryFolder();
    std::wstring named = environmentValue(L"VTL_TESTRT_SCRIPT");
    loaded.path = named.empty() ? findScript(folder) : named;
    if (!loaded.path.empty()) {
        std::vector<Setting> settings;
        std::string error;
        bool missing = false;
        if (!readSettings(loaded.path, settings, error, missing)) failTestRuntime(error, kExitBadScript);
        for (const Setting& s : settings) applySetting(s);
    }
    // Where the trace goes: the environment, the script, else beside the
    // script (or two folders above the library: the home of bin\server).
    std::wstring trace = environmentValue(L"VTL_TESTRT_TRACE");
    std::wstring base = loaded.path.empty() ? parentFolder(parentFolder(folder)) : parentFolder(loaded.path);
    if (trace.empty()) trace = loaded.tracePath.empty() ? L"testrt-trace.log" : loaded.tracePath;
    if (!isAbsolute(trace)) trace = base + L"\\" + trace;
    loaded.tracePath = trace;
    openTrace(trace);
}

}  // namespace

const Script& script() {
    if (!isLoaded) {
        isLoaded = true;
        loadScript();
    }
    return loaded;
}
