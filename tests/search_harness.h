// Test harness for the searches: sets a position up the way the driver does,
// runs fixed-depth iterations of the node search, and checks results with an
// independent legal-move generator and mate finder built on the move
// generator and make-move only.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/search/hash.h"
#include "engine/search/ordering/picker.h"
#include "engine/search/parallel.h"
#include "engine/search/root/control.h"
#include "engine/search/root/driver.h"
#include "engine/search/search.h"
#include "engine/search/search_move.h"
#include "engine/smp/threads.h"
#include "module/callbacks.h"

namespace harness {

inline void initOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  initEngineTables(32u << 20);
  activeSettings = initialSettings;
}

inline bool setFen(const char *fen) {
  if (parseFen(fen) != 0) return false;
  return setupPosition(&rootPosition, &gameRecord) == 0;
}

// The root as the driver prepares it before its iterations.
inline void prepareRoot() {
  Position *root = &rootPosition;
  Board *board = root->pg;
  board->engineSide = root->side;
  board->nodeCount = 0;
  helperNodeCount.store(0);
  root->childKillers[1] = NO_MOVE;
  prepareSearchRoot(root);
  newSearchGeneration(&hashTable, 1);
  root->threatKind = 0;
  stopFlag.store(0);
}

struct Result {
  int score = -9999;
  Move pv[PV_LENGTH];
  int64_t nodes = 0;
};

// Iterations firstDepth .. depth of the node search on the root, as the driver
// runs them (a fixed-depth "go" runs the last alone: firstDepth = depth).
inline Result searchRoot(int depth, bool withNullThreat = true, bool prepareFirst = true, int firstDepth = 2) {
  if (prepareFirst) prepareRoot();
  Position *root = &rootPosition;
  if (withNullThreat) searchNullMove(root, -9999, 0);
  root->futilityGap = -9999;
  lastScore = -9999;
  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move lines[2] = {NO_MOVE, NO_MOVE};
  Result r;
  for (int i = 0; i < PV_LENGTH; i++) r.pv[i] = NO_MOVE;
  for (int d = firstDepth; d <= depth; d++) {
    currentDepth = d;
    pvCount = 0;
    r.score = search(root, d, MATE_SCORE, -9999, killers, r.pv, &lines[0]);
    lastScore = r.score;
    resetPicker(root);
  }
  unmarkHistoryInHash(&hashTable);
  r.nodes = searchNodeCount();
  return r;
}

// ---- an oracle independent of the searches: the board layer's legal moves ----
inline std::vector<Move> legalMoves(Position *pos) {
  Move list[MAX_LEGAL_MOVES];
  int n = ::legalMoves(pos, list, MAX_LEGAL_MOVES);
  return std::vector<Move>(list, list + n);
}

inline bool inCheck(Position *pos) { return kingAttacked(pos, pos->side); }

// Can the side to move force mate within n moves?
inline bool mateWithin(Position *pos, int n) {
  Position child;
  std::memset((void *)&child, 0, sizeof child);
  initPosition(&child, pos->pg);
  for (Move m : legalMoves(pos)) {
    makeMove(pos, m, &child);
    std::vector<Move> replies = legalMoves(&child);
    bool mates;
    if (replies.empty()) {
      mates = inCheck(&child);
    } else if (n > 1) {
      mates = true;
      Position grand;
      std::memset((void *)&grand, 0, sizeof grand);
      initPosition(&grand, pos->pg);
      for (Move r : replies) {
        makeMove(&child, r, &grand);
        bool ok = mateWithin(&grand, n - 1);
        unmakeMove(&grand);
        if (!ok) {
          mates = false;
          break;
        }
      }
    } else {
      mates = false;
    }
    unmakeMove(&child);
    if (mates) return true;
  }
  return false;
}

// Shortest forced mate of the side to move, up to maxN moves; 0 when none.
inline int mateDistance(Position *pos, int maxN) {
  for (int n = 1; n <= maxN; n++)
    if (mateWithin(pos, n)) return n;
  return 0;
}

// Is the line a sequence of legal moves from the position? Restores the board.
inline bool lineIsLegal(Position *pos, const Move *line, std::string *why) {
  Position records[PV_LENGTH + 1];
  int made = 0;
  bool ok = true;
  Position *cur = pos;
  for (int i = 0; i < PV_LENGTH && moveFrom(line[i]) != NO_SQUARE; i++) {
    std::vector<Move> legal = legalMoves(cur);
    bool found = false;
    for (Move m : legal) found = found || m == line[i];
    if (!found) {
      ok = false;
      if (why) *why = "move " + std::to_string(i) + " (" + std::to_string(line[i]) + ") is not legal";
      break;
    }
    Position *next = &records[made];
    std::memset((void *)next, 0, sizeof *next);
    initPosition(next, pos->pg);
    makeMove(cur, line[i], next);
    made++;
    cur = next;
  }
  while (made > 0) unmakeMove(&records[--made]);
  return ok;
}

inline Move mv(const char *text) {
  int from = (text[0] - 'a') + (text[1] - '1') * 16;
  int to = (text[2] - 'a') + (text[3] - '1') * 16;
  return makeMoveWord(from, to);
}

inline int lockedEntries() {
  int n = 0;
  for (uint64_t i = 0; i < hashTable.hashEntryCount; i++)
    if (hashTable.entries[i].flags & 0xFF) n++;
  return n;
}

}  // namespace harness
