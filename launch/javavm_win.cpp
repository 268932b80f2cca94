#include "launch/javavm.h"

// Placeholder until the JVM launch lands.
bool launchApplication(const ArgumentVector&, bool) { return false; }
