#include "hostjvm/src/relay_win.h"

#include <string>

namespace {

constexpr size_t kMaxHeld = 1u << 20;

bool writeToHandle(HANDLE h, const char* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

void relayBytes(OutputRelay& relay, const char* data, size_t size) {
    if (relay.target && !relay.targetBroken && !writeToHandle(relay.target, data, size)) {
        // The reader went away; keep draining so java never blocks.
        relay.targetBroken = true;
    }
}

// Relays whatever can be read without blocking. Holding the lock while
// doing so keeps the order of bytes when the main thread drains too.
void relayAvailable(OutputRelay& relay) {
    EnterCriticalSection(&relay.lock);
    char buffer[16384];
    while (!relay.atEnd && waitReadable(relay.socket, 0)) {
        int n = recv(relay.socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            InterlockedExchange(&relay.atEnd, 1);
            break;
        }
        if (!relay.holding) {
            relayBytes(relay, buffer, static_cast<size_t>(n));
            continue;
        }
        relay.held.append(buffer, static_cast<size_t>(n));
        if (relay.held.size() >= kMaxHeld) {
            // Too much for a start-up failure message: give it all out.
            relayBytes(relay, relay.held.data(), relay.held.size());
            relay.held.clear();
            relay.holding = false;
        }
    }
    LeaveCriticalSection(&relay.lock);
}

// The java launcher's own words after a failed start.
const char* const kLauncherStartLines[] = {
    "Error: Could not create the Java Virtual Machine.",
    "Error: A fatal exception has occurred. Program will exit.",
};

std::string withoutLauncherLines(const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, (end == std::string::npos ? text.size() : end) - start);
        bool launcherLine = false;
        for (const char* own : kLauncherStartLines) launcherLine = launcherLine || line == own;
        if (!launcherLine) out.append(text, start, next - start);
        start = next;
    }
    return out;
}

DWORD WINAPI outputRelayThread(void* parameter) {
    OutputRelay& relay = *static_cast<OutputRelay*>(parameter);
    while (!relay.atEnd) {
        if (pollReadable(relay.socket, INFINITE) < 0) {
            InterlockedExchange(&relay.atEnd, 1);
            break;
        }
        relayAvailable(relay);
    }
    return 0;
}

struct InputRelayStart {
    SOCKET socket;
    HANDLE source;
};

// Copies this process's standard input to java's until end of file, then
// closes the sending side so that java sees its end too.
DWORD WINAPI inputRelayThread(void* parameter) {
    InputRelayStart start = *static_cast<InputRelayStart*>(parameter);
    delete static_cast<InputRelayStart*>(parameter);
    char buffer[4096];
    DWORD n = 0;
    while (start.source && ReadFile(start.source, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        if (!sendAll(start.socket, buffer, n)) break;
    }
    shutdown(start.socket, SD_SEND);
    return 0;
}

HANDLE standardHandle(DWORD which) {
    HANDLE h = GetStdHandle(which);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

}  // namespace

int pollReadable(SOCKET s, DWORD timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv;
    tv.tv_sec = static_cast<long>(timeoutMs / 1000);
    tv.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    int n = select(0, &set, nullptr, nullptr, timeoutMs == INFINITE ? nullptr : &tv);
    return n > 0 ? 1 : n == 0 ? 0 : -1;
}

bool startOutputRelay(OutputRelay& relay, SOCKET s, DWORD which) {
    relay.socket = s;
    relay.target = standardHandle(which);
    InitializeCriticalSection(&relay.lock);
    relay.thread = CreateThread(nullptr, 0, outputRelayThread, &relay, 0, nullptr);
    if (relay.thread) return true;
    DeleteCriticalSection(&relay.lock);
    relay.socket = INVALID_SOCKET;
    return false;
}

bool startInputRelay(HostLink& link, SOCKET s) {
    auto* start = new InputRelayStart{s, standardHandle(STD_INPUT_HANDLE)};
    link.inputThread = CreateThread(nullptr, 0, inputRelayThread, start, 0, nullptr);
    if (!link.inputThread) {
        delete start;
        return false;
    }
    link.input = s;
    return true;
}

void closeOutputRelay(OutputRelay& relay) {
    if (relay.socket == INVALID_SOCKET) return;
    if (relay.thread) {
        // Waking the relay by shutting the socket down lets it end by itself.
        shutdown(relay.socket, SD_BOTH);
        // A relay stuck writing to a reader that does not read keeps its
        // socket and lock: freeing them under it would be worse.
        if (WaitForSingleObject(relay.thread, 2000) != WAIT_OBJECT_0) return;
        CloseHandle(relay.thread);
        relay.thread = nullptr;
        DeleteCriticalSection(&relay.lock);
    }
    closesocket(relay.socket);
    relay.socket = INVALID_SOCKET;
}

void drainOutputNow(HostLink& link) {
    if (link.out.thread) relayAvailable(link.out);
    if (link.err.thread) relayAvailable(link.err);
}

void releaseHeldErrors(HostLink& link, bool startFailed) {
    OutputRelay& relay = link.err;
    if (!relay.thread) return;
    EnterCriticalSection(&relay.lock);
    if (relay.holding) {
        std::string text = startFailed ? withoutLauncherLines(relay.held) : relay.held;
        relayBytes(relay, text.data(), text.size());
        relay.held.clear();
        relay.holding = false;
    }
    LeaveCriticalSection(&relay.lock);
}

void finishOutput(HostLink& link, DWORD timeoutMs) {
    HANDLE threads[2];
    DWORD count = 0;
    if (link.out.thread) threads[count++] = link.out.thread;
    if (link.err.thread) threads[count++] = link.err.thread;
    if (count) WaitForMultipleObjects(count, threads, TRUE, timeoutMs);
    drainOutputNow(link);
    traceStep("output finished");
}
