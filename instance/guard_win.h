// The declarations of instance/guard.h that take Windows types.
#pragma once

#include <windows.h>

#include "instance/guard.h"

// The instance registry value of this launcher path: the process id of the
// first instance, under HKEY_CURRENT_USER.
void writeInstancePid();
// 0 when the value is missing or not 4 bytes long.
DWORD readInstancePid();
// Activates every visible top-level window of the process; restore
// un-minimizes a minimized one first.
void bringWindowsToFront(DWORD processId, bool restore);
