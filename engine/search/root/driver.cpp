// The search driver: iterative deepening of the game's root with multi-PV,
// the easy-move test, the time rules and the stop rules.
#include "engine/search/root/driver.h"

#include <algorithm>
#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legal_moves.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/eval/prepare.h"
#include "engine/eval/settings.h"
#include "engine/search/hash.h"
#include "engine/search/ordering/history.h"
#include "engine/search/parallel.h"
#include "engine/search/root/control.h"
#include "engine/search/root/timealloc.h"
#include "engine/search/search.h"
#include "engine/search/search_move.h"
#include "platform/platform.h"

Stopwatch searchClock;
int32_t currentDepth;
int32_t lastScore;
int32_t timeFactor;
int32_t pvCount;

static bool inList(const Move *list, int n, Move m) {
  for (int i = 0; i < n; i++)
    if (list[i] == m) return true;
  return false;
}

// The variation that every search ends with when nothing reached the program:
// the best move of the last completed iteration, the table's move or the
// previous best move when legal, else the first legal move.
static void reportFallbackMove(Position *root, const Move *legal, int legalCount, Move lastBest,
                               const Move *killers, int score) {
  if (legalCount == 0 || !pvHook) return;
  Move candidates[4] = {lastBest, NO_MOVE, readKillers(killers).first, legal[0]};
  if (HashEntry *e = probeHash(&hashTable, root->key)) candidates[1] = e->move;
  Move line[PV_LENGTH];
  for (int i = 0; i < PV_LENGTH; i++) line[i] = NO_MOVE;
  for (Move m : candidates)
    if (inList(legal, legalCount, m)) {
      line[0] = m;
      break;
    }
  pvCount = 0;
  pvHook(currentDepth, score > -MATE_SCORE ? score : 0, line, 0);
}

static bool isPromotionByPawn(const Position *root, Move m) {
  int from = moveFrom(m);
  if (!onBoard(from)) return false;
  const PieceRecord *p = root->pg->at(from);
  if (!p->kind || p->kind->kind != PAWN) return false;
  int to = realTo(m);
  return to < 16 || to >= 0x70;
}

void prepareSearchRoot(Position *root) {
  Board *board = root->pg;
  splitEpochCounter.store(1);
  setBoardEpoch(board, 1);
  board->masterBoard = board;
  board->splitPoint = &noSplitPosition;
  root->childKillers[0] = NO_MOVE;
  root->parent = nullptr;
  root->pendingThreat = makeMoveWord(moveFrom(root->pendingThreat), NO_SQUARE);
  root->matedScore = -(MATE_SCORE - 1);
  for (int i = 0; i < 128; i++) board->white.threatReplies[i] = board->black.threatReplies[i] = NO_MOVE;
  root->statusFlags = (root->statusFlags & ~STATUS_SHRINK_IN_SCORE) | STATUS_WHITE_CAPTURES | STATUS_BLACK_CAPTURES;
  resetPicker(root);
  clearHistoryTable(&historyTable);
  prepare(root, 1);
}

void iterativeSearch(Position *root, int multiPv) {
  static bool clockCleared = false;
  Board *board = root->pg;
  const int mode = timeControl.mode;
  auto savedTablebaseHook = tablebaseHook;
  __atomic_store_n(&board->nodeCount, 0, __ATOMIC_RELAXED);
  helperNodeCount.store(0, std::memory_order_relaxed);
  reportedMoves.store(0);
  firstIterationDone.store(0);

  // Legal root moves: the multi-PV clamp, the single-legal-move rule and the
  // move that a stopped search still reports.
  static Move legal[MAX_ROOT_MOVES];
  int legalCount = legalMoves(root, legal, MAX_ROOT_MOVES);
  multiPv = std::max(1, std::min(multiPv, std::min(MAX_MULTI_PV, legalCount)));

  if (!clockCleared) {
    stopwatchClear(&searchClock);
    clockCleared = true;
  }
  const GameRecord *g = &gameRecord;
  allocateTime(stopwatchRead(root->side > 0 ? &g->whiteClock : &g->blackClock));
  stopwatchStart(&searchClock);
  if (searchStartHook) searchStartHook();  // arms the timer unless pondering

  scoreOffset = 0;
  if (activeSettings.varyDepth && g->moveNumber <= 32) {
    if (g->moveNumber <= 16)
      scoreOffset = platformRand() * 5 / 32768 - 2;
    else
      scoreOffset = platformRand() * 3 / 32768 - 1;
  }

  prepareSearchRoot(root);

  HashEntry *rootEntry = probeHash(&hashTable, root->key);
  const int ttDepth = rootEntry ? rootEntry->depth >> 1 : 0;
  newSearchGeneration(&hashTable, 1);

  const int maxDepth = activeSettings.maxDepth;
  currentDepth = mode != TC_NONE ? 3 : std::min(maxDepth, timeControl.a);
  currentDepth = std::max(2, currentDepth);  // the node search needs two plies
  root->threatKind = 0;

  searchNullMove(root, -MATE_SCORE, 0);
  timeFactor = 10;
  root->futilityGap = -MATE_SCORE;
  lastScore = -MATE_SCORE;
  timeUp.store(0);
  iterationDone.store(0);

  alignas(4) Move killers[2] = {NO_MOVE, NO_MOVE};
  Move pv[PV_LENGTH], line[PV_LENGTH], scratch[PV_LENGTH];
  for (int i = 0; i < PV_LENGTH; i++) pv[i] = NO_MOVE;
  Move lines[MAX_MULTI_PV + 1];
  Move lastBest = NO_MOVE;  // best move of the last completed iteration
  Move verifiedMove = NO_MOVE;
  int verifiedMargin = MATE_SCORE;
  int score = -MATE_SCORE;
  bool endedByRule = false;
  const int rootAlpha = activeSettings.rootAlpha;

  for (;;) {
    int depth = currentDepth;
    pvCount = 0;
    if (depth > 9 && activeSettings.paramsSet) {
      if (currentMoveHook) {
        currentMoveHook(depth, nullptr, 0);  // a new iteration begins
        depth = currentDepth;
      }
      searchNullMove(root, -MATE_SCORE, depth - 9);
    }
    if (stopFlag.load()) break;
    int lineCount = 0;
    lines[0] = NO_MOVE;
    for (int i = 0; i < PV_LENGTH; i++) pv[i] = NO_MOVE;
    score = search(root, depth, MATE_SCORE, rootAlpha, killers, pv, &lines[0]);
    if (stopFlag.load()) break;
    if (score <= rootAlpha) pv[0] = NO_MOVE;
    if (multiPv > 1 && pvHook) pvHook(depth, score, pv, 0);
    if (depth < 6 && isPromotionByPawn(root, pv[0])) tablebaseHook = nullptr;

    // Further lines: each searched with the earlier lines' moves excluded.
    lines[++lineCount] = pv[0];
    pvCount++;
    int lineScore = score;
    while (pvCount < multiPv && !stopFlag.load() && root->movesTried > 1 && moveFrom(lines[lineCount]) != NO_SQUARE) {
      for (int i = 0; i < PV_LENGTH; i++) line[i] = NO_MOVE;
      resetPicker(root);
      lineScore = search(root, depth, lineScore + 10, rootAlpha, killers, line, &lines[lineCount]);
      if (stopFlag.load()) break;
      if (pvHook) pvHook(depth, lineScore, line, 0);
      if (moveFrom(line[0]) == NO_SQUARE) break;  // no further line: keep the list readable
      lines[++lineCount] = line[0];
      pvCount++;
    }
    if (stopFlag.load()) break;

    // Stop rules.
    if (mode == TC_NONE || (moveFrom(pv[0]) == NO_SQUARE && rootAlpha == -MATE_SCORE) || depth >= maxDepth ||
        (root->movesTried == 1 && legalCount == 1 && score > -MATE_SCORE && depth > 6)) {
      if (moveFrom(pv[0]) != NO_SQUARE) lastBest = pv[0];
      endedByRule = true;
      break;
    }

    int64_t elapsed = stopwatchRead(&searchClock);
    int64_t used = elapsed * 100 / std::max(1, targetTimeMs);

    // Easy move: how far do the other moves stay below the best one?
    if (used < 5 && score > -MATE_SCORE && mode != TC_FIXED_MS && multiPv == 1) {
      auto savedPvHook = pvHook;
      pvHook = nullptr;
      Move only[2] = {NO_MOVE, pv[0]};
      resetPicker(root);
      int result = search(root, depth, score - 70, score - 151, killers, scratch, &only[1]);
      pvHook = savedPvHook;
      int margin = score - result;
      bool recapture = realTo(pv[0]) == realTo(root->lastMove);
      if (margin >= 150) {
        timeFactor = recapture ? 50 : 30;
        verifiedMargin = result + 150;
      } else if (margin >= 71) {
        timeFactor = recapture ? 30 : 20;
        verifiedMargin = result + 71;
      } else {
        timeFactor = 10;
      }
      verifiedMove = pv[0];
    }
    if (stopFlag.load()) break;
    iterationDone.store(1);
    firstIterationDone.store(1);
    if (moveFrom(pv[0]) != NO_SQUARE) lastBest = pv[0];

    if (pv[0] == verifiedMove && timeFactor != 10 && score >= verifiedMargin) used = used * timeFactor / 10;
    if (score + 20 < lastScore && mode != TC_PER_MOVE && mode != TC_FIXED_MS) used = 2 * used / 3;
    if (score < -50 && mode != TC_PER_MOVE && mode != TC_FIXED_MS) used = 3 * used / 4;
    lastScore = score;

    // A timer that fired before the first iteration was complete stops here.
    if (stopAtIterationEnd.load()) {
      endedByRule = true;
      break;
    }
    if (targetTimeMs < 1 || depth > maxDepth || used >= 60) {
      timeUp.store(1);
      if (searchState.load() != SEARCH_PONDERING && mode != TC_FIXED_MS) {
        endedByRule = true;
        break;
      }
    }

    int next = depth + 1;
    if (used < 35 && depth + 1 != ttDepth && depth + 1 != ttDepth + 1) {
      next = depth + 2;
      if (used < 4 && depth + 2 != ttDepth + 1 && depth + 2 != ttDepth) next = depth + 3;
    }
    currentDepth = std::min(next, maxDepth);
    resetPicker(root);
  }

  if (endedByRule && !stopFlag.load() && multiPv == 1 && pvHook) {
    pvCount = 0;  // the repeated report is of the best line
    pvHook(currentDepth, score, pv, 0);
  }

  // Every search ends with a legal move in the program's hands.
  if (helpersIdleHook) helpersIdleHook();
  if (reportedMoves.load() == 0) reportFallbackMove(root, legal, legalCount, lastBest, killers, score);

  unmarkHistoryInHash(&hashTable);
  tablebaseHook = savedTablebaseHook;
  if (searchEndHook) searchEndHook();  // cancels both timers
}
