// Test helper: a tablebase position written as text, e.g. "Kc1 Ng1 Pe5",
// turned into the square arrays of an index function.
#pragma once

#include <cstdint>
#include <cstring>

#include "tablebases/descriptor.h"

namespace tbtest {

inline int square(const char* name) { return (name[1] - '1') * 8 + (name[0] - 'a'); }

inline int firstSlot(char letter) {
  switch (letter) {
    case 'P': return 0;
    case 'N': return 3;
    case 'B': return 6;
    case 'R': return 9;
    case 'Q': return 12;
    default: return 15;
  }
}

// Fills one side's 16 slots (unused slots -1) from "K.. X.. ...".
inline void setSide(TbSideSquares side, const char* men) {
  for (int i = 0; i < TB_SIDE_SLOTS; i++) side[i] = -1;
  for (const char* p = men; *p;) {
    while (*p == ' ') p++;
    if (!*p) break;
    int slot = firstSlot(p[0]);
    while (slot < 15 && side[slot] != -1) slot++;
    side[slot] = square(p + 1);
    p += 3;
  }
}

inline int tableId(const char* name) {
  for (int id = 1; id <= TB_MAX_ID; id++)
    if (strcmp(tbDescriptors[id].name, name) == 0) return id;
  return 0;
}

// Index of a position of table `name` with side `side` to move.
inline uint64_t indexOf(const char* name, int side, const char* white, const char* black, int ep = 127,
                        int invert = 0) {
  TbSideSquares a, b;
  setSide(a, white);
  setSide(b, black);
  const int id = tableId(name);
  return tbDescriptors[id].indexFn[side](a, b, ep, invert);
}

}  // namespace tbtest
