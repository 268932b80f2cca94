// The connection between a Wine program and the host's java. The program
// listens on 127.0.0.1, starts the Unix wrapper script (Wine gives no
// process handle for a Unix program, so everything runs over sockets), and
// the wrapper connects back: "status" (java's arguments in, its exit status
// out), "in", "out" and "err" (java's standard streams), and, when the
// bridge server runs, "ctl" (the JNI calls). Each connection opens with the
// random token and its role. The standard streams are relayed to and from
// this process's own standard handles.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

struct OutputRelay {
    SOCKET socket = INVALID_SOCKET;
    HANDLE target = nullptr;     // where the bytes go; null discards them
    CRITICAL_SECTION lock;       // one drainer at a time, so bytes stay in order
    HANDLE thread = nullptr;
    volatile LONG atEnd = 0;
    bool targetBroken = false;
    bool holding = false;        // keep the bytes back until releaseHeldErrors
    std::string held;
};

struct HostLink {
    SOCKET listener = INVALID_SOCKET;
    SOCKET status = INVALID_SOCKET;
    SOCKET control = INVALID_SOCKET;
    SOCKET input = INVALID_SOCKET;   // owned by the input relay thread once it runs
    HANDLE inputThread = nullptr;
    OutputRelay out;
    OutputRelay err;
    int port = 0;
    char token[33] = {};
};

struct HostStart {
    std::wstring wrapperPath;               // Windows path of the Unix wrapper script
    std::vector<std::string> javaArguments; // UTF-8, for the host java
    bool withControl = false;               // the port goes last; wait for the server's connection too
    DWORD timeoutMs = 60000;
};

enum class StartOutcome {
    ready,       // every connection is up
    hostEnded,   // java ended before that; exitStatus holds its status
    failed,      // could not start or connect; a message was printed
};

// Starts java through the wrapper and waits (bounded) for its connections.
StartOutcome startHost(const HostStart& start, HostLink& link, int& exitStatus);

// Relays what java wrote so far, so it is out before the caller goes on.
void drainOutputNow(HostLink& link);

// With withControl, java's error output is held back while the VM starts:
// if it cannot start, the java launcher adds lines of its own that a VM
// created through JNI never prints. This writes the held output, without
// those lines when startFailed, and relays the rest as it comes.
void releaseHeldErrors(HostLink& link, bool startFailed);

// Waits until java's output streams ended (java exited), at most timeoutMs.
void finishOutput(HostLink& link, DWORD timeoutMs);

enum class StatusOutcome { exited, lost, timedOut };
// Reads java's exit status from the status connection.
StatusOutcome readExitStatus(HostLink& link, DWORD timeoutMs, int& status);

// Closes every connection; java's input relay is stopped.
void closeLink(HostLink& link);

// Sends or receives one whole buffer; false when the connection is gone.
bool sendAll(SOCKET s, const void* data, size_t size);
bool receiveAll(SOCKET s, void* data, size_t size);

// Writes "hostjvm: <text>" and a line end to this process's standard error.
void reportProblem(const char* format, ...);

// With VTL_HOSTJVM_TRACE=1 in the environment, writes each step with the
// milliseconds since the first one to standard error; otherwise nothing.
void traceStep(const char* format, ...);

// UTF-8 and UTF-16 conversions.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
