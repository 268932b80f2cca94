#include "files/temp.h"

char tempDirectory[kPathCapacity] = "";
