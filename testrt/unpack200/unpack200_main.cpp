// Test stand-in for a runtime's unpack200.exe. Run as
//   unpack200.exe [-r] <pack file> <jar file>
// (the program name may be missing from the command line: the launcher
// passes the program separately and starts the command line with "-r").
// A test pack file is a first line "testrt-pack" followed by the jar's
// bytes unchanged; the jar is written from those bytes. "-r" removes the
// pack file afterwards, as the real tool does. Every run appends its
// command line to ..\unpack200-runs.log (relative to the program).
// Exit codes: 0 done, 1 not a test pack file or I/O failure, 2 bad usage.
//
// testrt-unpack200.ini beside the program plays a failing or hanging tool:
//   exit_code = 0    non-zero: write only half of the jar, keep the pack
//                    file and exit with this code
//   delay_ms  = 0    sleep this long after writing (half of) the jar
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "testrt/support/settings.h"

namespace {

const char kPackHeader[] = "testrt-pack\n";

bool endsWithNoCase(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           CompareStringOrdinal(text.c_str() + text.size() - tail.size(), static_cast<int>(tail.size()), tail.c_str(),
                                static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> commandArguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 0; argv && i < count; ++i) args.push_back(argv[i]);
    if (argv) LocalFree(argv);
    if (!args.empty() && (endsWithNoCase(args[0], L"unpack200.exe") || endsWithNoCase(args[0], L"unpack200")))
        args.erase(args.begin());
    return args;
}

bool readFileBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return ok;
}

bool writeFileBytes(const std::wstring& path, const char* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

void complain(const std::string& text) {
    std::string line = "testrt unpack200: " + text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

struct UnpackSettings {
    long long exitCode = 0;
    long long delayMs = 0;
};

UnpackSettings loadUnpackSettings() {
    UnpackSettings result;
    std::vector<Setting> settings;
    std::string error;
    bool missing = false;
    std::wstring path = moduleFolder(nullptr) + L"\\testrt-unpack200.ini";
    if (!readSettings(path, settings, error, missing)) {
        if (missing) return result;
        failTestRuntime(error, 96);
    }
    for (const Setting& s : settings) {
        std::string value = unescapeValue(s.value);
        bool ok = true;
        if (s.key == "exit_code") ok = parseInteger(value, result.exitCode);
        else if (s.key == "delay_ms") ok = parseInteger(value, result.delayMs) && result.delayMs >= 0;
        else failTestRuntime(toUtf8(path) + ":" + std::to_string(s.line) + ": unknown key " + s.key, 96);
        if (!ok) failTestRuntime(toUtf8(path) + ":" + std::to_string(s.line) + ": bad value for " + s.key, 96);
    }
    return result;
}

}  // namespace

int main() {
    appendToFile(moduleFolder(nullptr) + L"\\..\\unpack200-runs.log", toUtf8(GetCommandLineW()) + "\n");
    bool removePack = false;
    std::vector<std::wstring> files;
    for (const std::wstring& arg : commandArguments()) {
        if (arg == L"-r" || arg == L"--remove-pack-file") removePack = true;
        else files.push_back(arg);
    }
    if (files.size() != 2) {
        complain("usage: unpack200.exe [-r] <pack file> <jar file>");
        return 2;
    }
    std::string bytes;
    if (!readFileBytes(files[0], bytes)) {
        complain("cannot read " + toUtf8(files[0]));
        return 1;
    }
    size_t headerLength = sizeof kPackHeader - 1;
    if (bytes.compare(0, headerLength, kPackHeader) != 0) {
        complain(toUtf8(files[0]) + " is not a test pack file");
        return 1;
    }
    UnpackSettings settings = loadUnpackSettings();
    size_t jarLength = bytes.size() - headerLength;
    if (settings.exitCode != 0) jarLength /= 2;
    if (!writeFileBytes(files[1], bytes.data() + headerLength, jarLength)) {
        complain("cannot write " + toUtf8(files[1]));
        return 1;
    }
    if (settings.delayMs > 0) Sleep(static_cast<DWORD>(settings.delayMs));
    if (settings.exitCode != 0) {
        complain("failing as told (exit code " + std::to_string(settings.exitCode) + ")");
        return static_cast<int>(settings.exitCode);
    }
    if (removePack) DeleteFileW(files[0].c_str());
    return 0;
}
