// The single-instance guard and the per-process semaphore name.
#pragma once

// Null until the guard has run.
extern char* semaphoreName;

// Returns when this process is to run; a second instance ends inside.
void checkSingleInstance();
