// Creating the Java VM and calling the launcher class's main.
#pragma once

#include "core/cmdline.h"

bool launchApplication(const ArgumentVector& arguments, bool destroyAfterMain);
