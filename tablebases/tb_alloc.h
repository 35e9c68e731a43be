// Allocation for the tablebase code: every table the tablebases build comes
// from here, and running out of memory ends the process.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns `bytes` bytes from the general allocator. On failure prints
// "*** Cannot allocate %d bytes of memory\n" and exits with code 1.
void* tbAlloc(size_t bytes);

// Bytes handed out by tbAlloc so far (for the verbose enumeration report).
extern int64_t tbAllocatedBytes;
