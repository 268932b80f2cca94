// Test tool: runs a program with a changed Windows environment and returns
// its exit code. Wine takes TMP, TEMP, PATH and the profile variables from
// its registry rather than from the Unix environment, so tests set them
// here, on the Windows side.
//
//   envrun.exe [-u NAME] [NAME=VALUE]... [--count FILE] [--hidden-station] -- PROGRAM [ARGUMENTS]...
//
// With --hidden-station, the program runs on a window station of its own
// that nobody sees, as a service does on Windows (Wine gives its services
// a visible one).
//
// With --count, the program runs in a job object, and the number of
// processes the job saw (the program and everything it started) is written
// to FILE once it has ended.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The rest of the raw command line after the "--" argument, kept verbatim
// so the tested program sees exactly what the test wrote.
const wchar_t* rawTail(const wchar_t* commandLine) {
    const wchar_t* p = wcsstr(commandLine, L" -- ");
    return p ? p + 4 : nullptr;
}

// A new window station with a desktop "Default"; the text for lpDesktop.
bool makeHiddenStation(std::wstring& desktopPath) {
    wchar_t name[64];
    swprintf(name, 64, L"vtlhidden%lu", GetCurrentProcessId());
    HWINSTA original = GetProcessWindowStation();
    HWINSTA station = CreateWindowStationW(name, 0, WINSTA_ALL_ACCESS, nullptr);
    if (!station || !SetProcessWindowStation(station)) return false;
    HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(original);
    if (!desktop) return false;
    desktopPath = std::wstring(name) + L"\\Default";
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int i = 1;
    bool raw = false;
    const wchar_t* countFile = nullptr;
    bool hidden = false;
    for (; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--") break;
        if (a == L"--raw") {
            raw = true;
        } else if (a == L"--hidden-station") {
            hidden = true;
        } else if (a == L"--count" && i + 1 < argc) {
            countFile = argv[++i];
        } else if (a == L"-u" && i + 1 < argc) {
            SetEnvironmentVariableW(argv[++i], nullptr);
        } else {
            size_t eq = a.find(L'=');
            if (eq == std::wstring::npos || eq == 0) {
                fwprintf(stderr, L"envrun: expected NAME=VALUE, got %ls\n", a.c_str());
                return 120;
            }
            SetEnvironmentVariableW(a.substr(0, eq).c_str(), a.substr(eq + 1).c_str());
        }
    }
    if (i + 1 >= argc) {
        fwprintf(stderr, L"envrun: usage: envrun [-u NAME] [NAME=VALUE]... [--raw] [--count FILE] -- PROGRAM [ARGS]...\n");
        return 120;
    }
    std::wstring commandLine;
    const wchar_t* tail = raw ? rawTail(GetCommandLineW()) : nullptr;
    if (tail) {
        commandLine = tail;
    } else {
        for (int k = i + 1; k < argc; ++k) {
            if (!commandLine.empty()) commandLine += L' ';
            commandLine += quoteArgument(argv[k]);
        }
    }
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring desktopPath;
    if (hidden) {
        if (!makeHiddenStation(desktopPath)) {
            fwprintf(stderr, L"envrun: cannot create a window station (error %lu)\n", GetLastError());
            return 126;
        }
        si.lpDesktop = &desktopPath[0];
    }
    PROCESS_INFORMATION pi = {};
    HANDLE job = countFile ? CreateJobObjectW(nullptr, nullptr) : nullptr;
    if (countFile && !job) {
        fwprintf(stderr, L"envrun: cannot create a job object (error %lu)\n", GetLastError());
        return 122;
    }
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, job ? CREATE_SUSPENDED : 0, nullptr,
                        nullptr, &si, &pi)) {
        fwprintf(stderr, L"envrun: cannot start %ls (error %lu)\n", commandLine.c_str(), GetLastError());
        return 121;
    }
    if (job) {
        // Assigned before the program runs a single instruction, so every
        // process it starts is counted too.
        if (!AssignProcessToJobObject(job, pi.hProcess)) {
            fwprintf(stderr, L"envrun: cannot assign the job (error %lu)\n", GetLastError());
            TerminateProcess(pi.hProcess, 123);
            return 123;
        }
        ResumeThread(pi.hThread);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    if (job) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                       nullptr)) {
            fwprintf(stderr, L"envrun: cannot query the job (error %lu)\n", GetLastError());
            return 124;
        }
        FILE* out = _wfopen(countFile, L"w");
        if (!out) return 125;
        fprintf(out, "%lu\n", static_cast<unsigned long>(accounting.TotalProcesses));
        fclose(out);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}
