// Relays between java's standard streams (sockets) and this process's
// standard handles. Used by link_win.cpp; the public side is in link_win.h.
#pragma once

#include "hostjvm/src/link_win.h"

// 1 when a read would not block (data or end of stream), 0 when the time
// ran out, -1 when the socket is unusable.
int pollReadable(SOCKET s, DWORD timeoutMs);
inline bool waitReadable(SOCKET s, DWORD timeoutMs) { return pollReadable(s, timeoutMs) == 1; }

// Starts relaying java's output from the socket to a standard handle.
bool startOutputRelay(OutputRelay& relay, SOCKET s, DWORD which);

// Starts copying this process's standard input to java's.
bool startInputRelay(HostLink& link, SOCKET s);

// Stops the relay, waiting briefly for its thread, and closes its socket.
void closeOutputRelay(OutputRelay& relay);
