#include "hostjvm/src/link_win.h"

#include <bcrypt.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bounded.h"
#include "hostjvm/src/relay_win.h"

namespace {

constexpr DWORD kHeaderTimeoutMs = 5000;
constexpr size_t kMaxHeader = 64;
constexpr char kTokenVariable[] = "VTL_HOSTJVM_TOKEN";

ULONGLONG now() { return GetTickCount64(); }

DWORD remaining(ULONGLONG deadline) {
    ULONGLONG t = now();
    return t >= deadline ? 0 : static_cast<DWORD>(deadline - t);
}

bool startWinsock() {
    static bool started = false;
    if (started) return true;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    started = true;
    return true;
}

bool makeToken(char out[33]) {
    unsigned char random[16];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return false;
    }
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = hex[random[i] >> 4];
        out[2 * i + 1] = hex[random[i] & 15];
    }
    out[32] = 0;
    return true;
}

SOCKET newSocket() {
    return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

SOCKET listenOnLoopback(int& port) {
    SOCKET s = newSocket();
    if (s == INVALID_SOCKET) return s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

// The current environment with the token added, as a Unicode block.
std::vector<wchar_t> environmentWithToken(const char* token) {
    std::vector<wchar_t> block;
    std::wstring name = fromUtf8(kTokenVariable) + L"=";
    wchar_t* strings = GetEnvironmentStringsW();
    if (strings) {
        for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) {
            if (_wcsnicmp(p, name.c_str(), name.size()) == 0) continue;
            block.insert(block.end(), p, p + wcslen(p) + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    std::wstring entry = name + fromUtf8(token);
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(0);
    block.push_back(0);
    return block;
}

bool spawnWrapper(const std::wstring& path, int port, const char* token) {
    std::wstring commandLine = L"\"" + path + L"\" " + std::to_wstring(port);
    std::vector<wchar_t> environment = environmentWithToken(token);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &info)) {
        reportProblem("cannot start the host java wrapper %S (error %lu)", path.c_str(), GetLastError());
        return false;
    }
    // Wine hands out no handles for a Unix program; a Windows one would.
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

enum class LineOutcome { read, ended, timedOut };

// Reads one line without taking anything after it off the socket: what
// follows a header belongs to the stream. Peeking takes a whole line in
// one call where reading byte by byte would cost a call per byte.
LineOutcome readLine(SOCKET s, DWORD timeoutMs, std::string& line) {
    ULONGLONG deadline = timeoutMs == INFINITE ? ~0ull : now() + timeoutMs;
    char buffer[kMaxHeader];
    while (true) {
        DWORD wait = timeoutMs == INFINITE ? INFINITE : remaining(deadline);
        if (!waitReadable(s, wait)) return LineOutcome::timedOut;
        int n = recv(s, buffer, sizeof buffer, MSG_PEEK);
        if (n <= 0) return LineOutcome::ended;
        const char* end = static_cast<const char*>(std::memchr(buffer, '\n', static_cast<size_t>(n)));
        if (end) {
            size_t length = static_cast<size_t>(end - buffer) + 1;
            if (!receiveAll(s, buffer, length)) return LineOutcome::ended;
            line.assign(buffer, length - 1);
            return LineOutcome::read;
        }
        if (n == static_cast<int>(sizeof buffer)) return LineOutcome::ended;  // no line of ours is that long
        // Part of a line: the rest is on its way.
        if (remaining(deadline) == 0) return LineOutcome::timedOut;
        Sleep(2);
    }
}

// Reads the connection's opening line ("<token> <role>"), bounded in time.
bool readHeader(SOCKET s, std::string& line) {
    return readLine(s, kHeaderTimeoutMs, line) == LineOutcome::read;
}

// Reads the status line ("exit <status>"), bounded in time.
StatusOutcome readStatusLine(SOCKET s, DWORD timeoutMs, int& status) {
    std::string line;
    LineOutcome outcome = readLine(s, timeoutMs, line);
    if (outcome == LineOutcome::timedOut) return StatusOutcome::timedOut;
    if (outcome != LineOutcome::read || line.compare(0, 5, "exit ") != 0) return StatusOutcome::lost;
    status = std::atoi(line.c_str() + 5);
    return StatusOutcome::exited;
}

// The argument count on a line, then each argument ending in a NUL byte.
bool sendArguments(SOCKET s, const HostStart& start, int port) {
    std::vector<std::string> arguments = start.javaArguments;
    if (start.withControl) arguments.push_back(std::to_string(port));
    std::string message = std::to_string(arguments.size()) + "\n";
    for (const std::string& a : arguments) {
        message += a;
        message.push_back('\0');
    }
    return sendAll(s, message.data(), message.size());
}

bool allConnected(const HostLink& link, bool withControl) {
    return link.status != INVALID_SOCKET && link.input != INVALID_SOCKET && link.out.socket != INVALID_SOCKET &&
           link.err.socket != INVALID_SOCKET && (!withControl || link.control != INVALID_SOCKET);
}

// Takes one new connection: checks its token and gives it its role.
void acceptOne(HostLink& link, const HostStart& start) {
    SOCKET s = accept(link.listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    std::string header;
    std::string expected = std::string(link.token) + " ";
    bool known = readHeader(s, header) && header.compare(0, expected.size(), expected) == 0;
    std::string role = known ? header.substr(expected.size()) : std::string();
    bool taken = false;
    if (role == "status" && link.status == INVALID_SOCKET) {
        taken = sendArguments(s, start, link.port);
        if (taken) link.status = s;
    } else if (role == "in" && link.input == INVALID_SOCKET) {
        taken = startInputRelay(link, s);
    } else if (role == "out" && link.out.socket == INVALID_SOCKET) {
        taken = startOutputRelay(link.out, s, STD_OUTPUT_HANDLE);
    } else if (role == "err" && link.err.socket == INVALID_SOCKET) {
        link.err.holding = start.withControl;
        taken = startOutputRelay(link.err, s, STD_ERROR_HANDLE);
    } else if (role == "ctl" && start.withControl && link.control == INVALID_SOCKET) {
        BOOL on = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        link.control = s;
        taken = true;
    }
    // A stranger, or a role twice: not ours.
    traceStep("connection %s: %s", role.c_str(), taken ? "taken" : "refused");
    if (!taken) closesocket(s);
}

}  // namespace

StartOutcome startHost(const HostStart& start, HostLink& link, int& exitStatus) {
    if (!startWinsock()) {
        reportProblem("cannot start Windows sockets");
        return StartOutcome::failed;
    }
    if (!makeToken(link.token)) {
        reportProblem("cannot make a connection token");
        return StartOutcome::failed;
    }
    link.listener = listenOnLoopback(link.port);
    if (link.listener == INVALID_SOCKET) {
        reportProblem("cannot listen on 127.0.0.1 (error %d)", WSAGetLastError());
        return StartOutcome::failed;
    }
    traceStep("listening on port %d", link.port);
    if (!spawnWrapper(start.wrapperPath, link.port, link.token)) return StartOutcome::failed;
    traceStep("wrapper started");

    ULONGLONG deadline = now() + start.timeoutMs;
    while (!allConnected(link, start.withControl)) {
        DWORD wait = remaining(deadline);
        if (wait == 0) {
            reportProblem("the host java did not connect within %lu seconds", start.timeoutMs / 1000);
            return StartOutcome::failed;
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(link.listener, &set);
        if (link.status != INVALID_SOCKET) FD_SET(link.status, &set);
        timeval tv = {static_cast<long>(wait / 1000), static_cast<long>((wait % 1000) * 1000)};
        if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
        // Connections first: the wrapper connects every stream before java
        // runs, so they are all waiting by the time a status can arrive.
        if (FD_ISSET(link.listener, &set)) {
            acceptOne(link, start);
        } else if (link.status != INVALID_SOCKET && FD_ISSET(link.status, &set)) {
            // java ended (or the wrapper failed) before everything was up.
            StatusOutcome outcome = readStatusLine(link.status, kHeaderTimeoutMs, exitStatus);
            traceStep("java ended while starting (status %d)", exitStatus);
            if (outcome == StatusOutcome::exited) return StartOutcome::hostEnded;
            reportProblem("the host java wrapper ended without reporting a status");
            return StartOutcome::failed;
        }
    }
    // Nobody else is to connect.
    closesocket(link.listener);
    link.listener = INVALID_SOCKET;
    return StartOutcome::ready;
}

StatusOutcome readExitStatus(HostLink& link, DWORD timeoutMs, int& status) {
    if (link.status == INVALID_SOCKET) return StatusOutcome::lost;
    return readStatusLine(link.status, timeoutMs, status);
}

namespace {

void closeSocket(SOCKET& s) {
    if (s != INVALID_SOCKET) closesocket(s);
    s = INVALID_SOCKET;
}

}  // namespace

void closeLink(HostLink& link) {
    traceStep("closing the connections");
    closeSocket(link.listener);
    closeSocket(link.control);
    closeSocket(link.status);
    closeOutputRelay(link.out);
    closeOutputRelay(link.err);
    if (link.input != INVALID_SOCKET) {
        // The input relay may still wait for this process's standard input;
        // it keeps its socket, which only stops carrying anything.
        shutdown(link.input, SD_BOTH);
        if (link.inputThread) CloseHandle(link.inputThread);
        link.inputThread = nullptr;
    }
}

bool sendAll(SOCKET s, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        int chunk = size > (1u << 20) ? (1 << 20) : static_cast<int>(size);
        int n = send(s, p, chunk, 0);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool receiveAll(SOCKET s, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        int chunk = size > (1u << 20) ? (1 << 20) : static_cast<int>(size);
        int n = recv(s, p, chunk, 0);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void reportProblem(const char* format, ...) {
    char text[2000];
    copyText(text, sizeof text, "hostjvm: ");
    size_t used = textLength(text, sizeof text);
    va_list args;
    va_start(args, format);
    vformatText(text + used, sizeof text - used, format, args);
    va_end(args);
    appendText(text, sizeof text, "\n");
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, text, static_cast<DWORD>(textLength(text, sizeof text)), &written, nullptr);
}

void traceStep(const char* format, ...) {
    static const bool on = [] {
        char value[8];
        DWORD n = GetEnvironmentVariableA("VTL_HOSTJVM_TRACE", value, sizeof value);
        return n == 1 && value[0] == '1';
    }();
    if (!on) return;
    static const ULONGLONG start = now();
    char text[2000];
    formatText(text, sizeof text, "hostjvm trace %5llu ms: ", static_cast<unsigned long long>(now() - start));
    size_t used = textLength(text, sizeof text);
    va_list args;
    va_start(args, format);
    vformatText(text + used, sizeof text - used, format, args);
    va_end(args);
    appendText(text, sizeof text, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(textLength(text, sizeof text)), &written, nullptr);
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}
