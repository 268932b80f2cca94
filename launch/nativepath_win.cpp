#include "launch/nativepath.h"

// Placeholder until the native library path lands.
void setNativeLibraryPath() {}
