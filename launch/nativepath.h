// Native library directories in front of PATH.
#pragma once

void setNativeLibraryPath();
