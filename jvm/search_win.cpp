#include "jvm/search.h"

// Placeholder until the JVM search lands: no runtime is found.
bool LoadDLL(bool) { return false; }
