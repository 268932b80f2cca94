// conrun: starts a program as a prompt does, from a console of its own, and
// reports what the program wrote into that console.
//
//   conrun [--no-console] PROGRAM [ARGUMENTS...]
//
// conrun opens a fresh console (none with --no-console) and starts PROGRAM
// detached from it and without standard handles, as a command prompt starts
// a windowed program. Whatever PROGRAM shows in the console must come from
// attaching itself to its parent's console. When PROGRAM has ended, conrun
// writes the console's text lines (trailing blanks and empty lines left
// out) to its own standard output, then "exit N" with PROGRAM's exit code.
// Exit code 0, or 2 when PROGRAM could not be started or did not end
// within 120 seconds.
#include <windows.h>

#include <string>

namespace {

void report(HANDLE out, const std::wstring& line) {
    std::wstring text = line + L"\n";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void reportConsole(HANDLE out) {
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info)) {
        report(out, L"conrun: cannot read the console (" + std::to_wstring(GetLastError()) + L")");
        return;
    }
    std::wstring pending;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y && row < info.dwSize.Y; ++row) {
        std::wstring line(static_cast<size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, &line[0], static_cast<DWORD>(line.size()), COORD{0, row}, &read);
        line.resize(read);
        while (!line.empty() && (line.back() == L' ' || line.back() == L'\0')) line.pop_back();
        pending += line + L"\n";
        if (!line.empty()) {
            pending.pop_back();
            report(out, pending);
            pending.clear();
        }
    }
    CloseHandle(screen);
}

// The rest of this program's command line after its own name and options.
const wchar_t* programTail(const wchar_t* line, bool* console) {
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
        if (*line == L'"') quoted = !quoted;
    while (*line == L' ' || *line == L'\t') ++line;
    *console = true;
    if (wcsncmp(line, L"--no-console ", 13) == 0) {
        *console = false;
        line += 13;
        while (*line == L' ') ++line;
    }
    return line;
}

}  // namespace

int main() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool console = true;
    std::wstring command = programTail(GetCommandLineW(), &console);
    if (command.empty()) {
        report(out, L"usage: conrun [--no-console] PROGRAM [ARGUMENTS...]");
        return 2;
    }
    FreeConsole();
    if (console && !AllocConsole()) {
        report(out, L"conrun: cannot open a console (" + std::to_wstring(GetLastError()) + L")");
        return 2;
    }
    // Wide enough that no line the program writes wraps.
    if (console) {
        HANDLE screen = GetStdHandle(STD_OUTPUT_HANDLE);
        SetConsoleScreenBufferSize(screen, COORD{500, 300});
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // all three none
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &process)) {
        report(out, L"conrun: cannot start " + command + L" (" + std::to_wstring(GetLastError()) + L")");
        return 2;
    }
    DWORD code = 0;
    bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (console) reportConsole(out);
    report(out, L"exit " + std::to_wstring(code));
    return ended ? 0 : 2;
}
