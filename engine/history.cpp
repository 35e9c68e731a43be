// The history table updates of the node search: a cut by a quiet move raises
// its entry, the quiet moves tried before it are lowered; entries that run
// out of range halve the whole table.
#include "engine/hash.h"
#include "engine/search_internal.h"

void halveHistory() {
  if (historyTable.halved) return;  // a halving is running
  historyTable.halved = 1;
  for (int code = 0; code < 13; code++)
    for (int sq = 0; sq < 120; sq++)
      if (onBoard(sq)) historyTable.counts[code][sq] /= 2;
  historyTable.halved = 0;
}

void historyReward(int code, int to, int depth) {
  if (code < 0 || code > 12 || !onBoard(to)) return;
  int32_t &h = historyTable.counts[code][to];
  h += depth * depth;
  if (h > 30000) halveHistory();
}

void historyPenalty(int code, int to, int depth) {
  if (code < 0 || code > 12 || !onBoard(to)) return;
  int32_t &h = historyTable.counts[code][to];
  h -= depth * depth;
  if (h < -30000) halveHistory();
}
