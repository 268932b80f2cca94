// The commented starter project that `vtlpack init` writes.
#pragma once

const char* starterProjectText();
