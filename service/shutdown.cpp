#include "service/shutdown.h"

#include "base/bounded.h"
#include "core/log.h"

namespace {

void sendAndClose(ShutdownChannel& channel, int code, const ShutdownChannelOps& ops) {
    int lowByte = code & 0xFF;
    logLine(L"sending shutdown1 %d", lowByte);
    char message[8];
    size_t size = formatShutdownMessage(lowByte, message, sizeof message);
    uint32_t error = 0;
    if (!ops.write(channel.handle, message, size, &error)) {
        logLine(L"sending shutdown failed");
        logLine(L"error code %d", static_cast<int>(error));
    }
    ops.close(channel.handle);
    channel.closed = true;
    channel.pending = false;
    logLine(L"shutdown sent");
}

}  // namespace

size_t formatShutdownMessage(int code, char* buffer, size_t capacity) {
    if (!formatText(buffer, capacity, "%d\n", code & 0xFF)) return 0;
    return textLength(buffer, capacity);
}

void requestShutdown(ShutdownChannel& channel, int code, const ShutdownChannelOps& ops) {
    if (channel.closed) {
        logLine(L"shutdown channel already closed, request %d ignored", code & 0xFF);
        return;
    }
    if (!channel.attached) {
        logLine(L"no shutdown channel yet, request %d kept until the child runs", code & 0xFF);
        channel.pending = true;
        channel.pendingCode = code;
        return;
    }
    sendAndClose(channel, code, ops);
}

void attachShutdownChannel(ShutdownChannel& channel, void* handle, const ShutdownChannelOps& ops) {
    channel.handle = handle;
    channel.attached = true;
    channel.closed = false;
    if (channel.pending) sendAndClose(channel, channel.pendingCode, ops);
}
