#include "tablebases/tb_alloc.h"

#include <cstdio>
#include <cstdlib>

void* tbAlloc(size_t bytes) {
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) {
    std::printf("*** Cannot allocate %d bytes of memory\n", static_cast<int>(bytes));
    std::exit(1);
  }
  return p;
}
