// Memory for the tablebase code: an allocation that cannot fail. When the
// general allocator has nothing left the process ends with exit code 1.
#pragma once

#include <cstddef>

// Returns `bytes` bytes of uninitialised memory; on failure prints
// "*** Cannot allocate %d bytes of memory\n" and exits with code 1.
void* tbAlloc(size_t bytes);
