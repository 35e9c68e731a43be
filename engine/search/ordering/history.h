// The history table of the searches: a counter per piece code and to-square,
// raised by quiet moves that cut and lowered for those tried before them.
#pragma once
#include <cstdint>

struct HistoryTable {
  int32_t counts[13][120];
  int32_t halved;
};

extern HistoryTable historyTable;

void clearHistoryTable(HistoryTable *h);
// History counters are shared by all search threads; lost updates are
// harmless, so they are relaxed atomic words.
inline int32_t historyCount(int code, int sq) {
  return __atomic_load_n(&historyTable.counts[code][sq], __ATOMIC_RELAXED);
}
inline int32_t historyAdd(int code, int sq, int32_t delta) {
  return __atomic_add_fetch(&historyTable.counts[code][sq], delta, __ATOMIC_RELAXED);
}
void historyReward(int code, int to, int depth);
void historyPenalty(int code, int to, int depth);
void halveHistory();
