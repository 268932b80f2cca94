// What the scripted Java side does when the launcher calls into it: the
// launcher class's main and FirstRun.firstRun.
#include "testrt/jvm/testrt_jvm.h"
#include "testrt/support/settings.h"

namespace {

void writeHandle(DWORD which, const std::string& text) {
    HANDLE handle = GetStdHandle(which);
    if (text.empty() || !handle || handle == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The service child's stop protocol: read standard input line by line
// until the line "0" or end of input; other lines are ignored.
void waitForStopLine() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char c = 0;
    DWORD got = 0;
    while (input && input != INVALID_HANDLE_VALUE && ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        traceLine("stdin-line " + quoteBytes(line.c_str()));
        if (line == "0") {
            traceLine("stdin-stop \"0\"");
            return;
        }
        line.clear();
    }
    if (!line.empty()) traceLine("stdin-line " + quoteBytes(line.c_str()));
    traceLine("stdin-stop eof");
}

[[noreturn]] void exitLikeSystemExit(long long code) {
    traceLine("main-result exit " + std::to_string(code));
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace

void runScriptedMain(Object* arguments) {
    const Script& s = script();
    if (arguments && arguments->kind == Kind::Array) {
        for (size_t i = 0; i < arguments->elements.size(); ++i) {
            Object* e = arguments->elements[i];
            std::string value = !e ? "null" : e->kind == Kind::String ? quoteUtf16(e->text) : "@object";
            traceLine("main-arg " + std::to_string(i) + " " + value);
        }
    } else {
        traceLine("warning \"main called without a String[]\"");
    }
    writeHandle(STD_OUTPUT_HANDLE, s.mainStdout);
    writeHandle(STD_ERROR_HANDLE, s.mainStderr);
    if (s.mainDelayMs > 0) Sleep(static_cast<DWORD>(s.mainDelayMs));
    switch (s.main) {
        case MainAction::Return:
            traceLine("main-result return");
            return;
        case MainAction::Throw:
            throwNew(s.mainException);
            traceLine("main-result throw " + quoteUtf8(s.mainException));
            return;
        case MainAction::Exit:
            exitLikeSystemExit(s.mainExitCode);
        case MainAction::WaitStop:
            waitForStopLine();
            if (s.stopAction == StopAction::Exit) exitLikeSystemExit(s.mainExitCode);
            traceLine("main-result return");
            return;
    }
}

jboolean runScriptedFirstRun() {
    switch (script().firstRun) {
        case FirstRunAction::True: return JNI_TRUE;
        case FirstRunAction::False: return JNI_FALSE;
        case FirstRunAction::Throw: throwNew(script().firstRunException); return JNI_FALSE;
    }
    return JNI_FALSE;
}
