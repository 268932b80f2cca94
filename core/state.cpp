#include "core/state.h"

char serviceName[kPathCapacity] = "";
bool serviceMode = true;
bool noRedirect = false;
char launcherFamily = 0;
