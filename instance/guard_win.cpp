#include "instance/guard.h"

char* semaphoreName = nullptr;

// Placeholder until the single-instance guard lands.
void checkSingleInstance() {}
