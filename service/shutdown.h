// The shutdown channel: the write end of the child's standard input. A stop
// or shutdown request writes one line to it and closes it. Requests that
// come before the channel exists are kept and sent when it appears; requests
// after it was closed are only logged, never written or closed again.
#pragma once

#include <cstddef>
#include <cstdint>

struct ShutdownChannelOps {
    // Writes all bytes in one call; on failure sets *error and returns false.
    bool (*write)(void* handle, const char* data, size_t size, uint32_t* error);
    void (*close)(void* handle);
};

struct ShutdownChannel {
    void* handle = nullptr;
    bool attached = false;
    bool closed = false;
    bool pending = false;
    int pendingCode = 0;
};

// "%d\n" with the low byte of the code, without a terminating NUL in the
// count. Returns the number of characters (0 when the buffer is too small).
size_t formatShutdownMessage(int code, char* buffer, size_t capacity);

void requestShutdown(ShutdownChannel& channel, int code, const ShutdownChannelOps& ops);
// The child runs and the channel is ready: a kept request is sent now.
void attachShutdownChannel(ShutdownChannel& channel, void* handle, const ShutdownChannelOps& ops);
