#include "core/log.h"
#include "files/extract.h"
#include "files/temp.h"

// Placeholder until embedded-file extraction lands: nothing is extracted.
int extractEmbeddedFiles(bool mayCreateDirectory) {
    if (mayCreateDirectory) tempDirectory[0] = 0;
    return 0;
}
uint64_t unextractedPosition() { return 0; }
