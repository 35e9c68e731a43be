#include "tablebases/tb_alloc.h"

#include <cstdio>
#include <cstdlib>

int64_t tbAllocatedBytes = 0;

void* tbAlloc(size_t bytes) {
  void* p = malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) {
    printf("*** Cannot allocate %d bytes of memory\n", static_cast<int>(bytes));
    fflush(stdout);
    exit(1);
  }
  tbAllocatedBytes += static_cast<int64_t>(bytes);
  return p;
}
