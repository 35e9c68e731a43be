// The module's report hooks of the search: variations, current moves and
// tablebase probes handed to the program's callbacks.
#include "module/reports.h"

#include <cstdint>

#include "engine/board/moves/makemove.h"
#include "engine/board/tables/geometry.h"
#include "engine/search/hash.h"
#include "engine/search/node_records.h"
#include "engine/search/parallel.h"
#include "engine/search/root/driver.h"
#include "module/callbacks.h"

void sendPv(int depth, int score, const Move *pv, int flag) {
  if (!callbacks.reportPv) return;
  if (callbacks.reportNodes) callbacks.reportNodes(searchNodeCount());
  if (!moveSet(pv[0])) return;
  callbacks.reportPv(pvCount, depth, score, stopwatchRead(&searchClock), hashFull(&hashTable), pv, flag);
}

void sendCurrentMove(int depth, const Position *node, int recount) {
  if (!callbacks.reportCurrentMove) return;
  if (!node) {
    callbacks.reportCurrentMove(depth, NO_MOVE, 0, 0);
    return;
  }
  int code = recount ? 0x80 : 0;
  if (isSpecialMove(node)) {
    int to = realTo(node->lastMove);
    if (onBoard(to)) code |= (pieceOn(node->pg, to)->desc.letter & 0xFF) << 8;
  }
  callbacks.reportCurrentMove(depth, node->lastMove, code, 128);
}

int sendTablebaseProbe(Board *board, int side, int epSquare, int *value) {
  if (!callbacks.probeTablebase) return 0;
  ProbeBoard pb;
  for (int i = 0; i < 64; i++) {
    const PieceRecord *p = pieceOn(board, sq64To88[i]);
    pb.square[i] = (uint8_t)(p->colour == 0 ? EMPTY_CODE : p->desc.code);
  }
  int ep = epSquare ? ((epSquare & 7) | ((epSquare & 0x70) >> 1)) : 0;
  return callbacks.probeTablebase(&pb, side, ep, value);
}
