#include "service/commands.h"

// Placeholders until the service commands land.
int installService(int, bool) { return 1; }
int uninstallService(bool) { return 1; }
int stopService(bool) { return 1; }
int startService() { return 1; }
int printServiceStatus() { return 1; }
