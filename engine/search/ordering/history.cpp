// The history table updates of the node search: a cut by a quiet move raises
// its entry, the quiet moves tried before it are lowered; entries that run
// out of range halve the whole table.
#include "engine/search/ordering/history.h"

#include <cstring>

#include "engine/search/node_records.h"

HistoryTable historyTable;

void clearHistoryTable(HistoryTable *h) { memset(h, 0, sizeof *h); }

void halveHistory() {
  if (__atomic_exchange_n(&historyTable.halved, 1, __ATOMIC_ACQUIRE)) return;  // a halving is running
  for (int code = 0; code < 13; code++)
    for (int sq = 0; sq < 120; sq++)
      if (onBoard(sq))
        __atomic_store_n(&historyTable.counts[code][sq], historyCount(code, sq) / 2, __ATOMIC_RELAXED);
  __atomic_store_n(&historyTable.halved, 0, __ATOMIC_RELEASE);
}

void historyReward(int code, int to, int depth) {
  if (code < 0 || code > 12 || !onBoard(to)) return;
  if (historyAdd(code, to, depth * depth) > 30000) halveHistory();
}

void historyPenalty(int code, int to, int depth) {
  if (code < 0 || code > 12 || !onBoard(to)) return;
  if (historyAdd(code, to, -depth * depth) < -30000) halveHistory();
}
