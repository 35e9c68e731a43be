// The node search: alpha-beta over one interior node with table cuts, null
// move, singular test, an internal search for a hash move, local narrowing of
// beta near the root, the move loop with its split hand-off, the mate test
// and the store into the transposition table.
#include "engine/search/search.h"

#include <algorithm>

#include "engine/board/keys.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legality.h"
#include "engine/eval/prepare.h"
#include "engine/search/node_records.h"
#include "engine/search/ordering/picker.h"
#include "engine/search/parallel.h"
#include "engine/search/quiesce.h"
#include "engine/search/root/control.h"
#include "engine/search/root/driver.h"
#include "engine/search/search_move.h"

bool searchStopped(const Board *b) { return stopFlag.load(std::memory_order_relaxed) || workIsStale(b); }

void buildNullChild(const Position *node, Position *n) {
  Board *b = node->pg;
  copyNode(n, node);
  n->ownBits = node->enemyBits;
  n->enemyBits = node->ownBits;
  n->ownPawnBits = node->enemyPawnBits;
  n->enemyPawnBits = node->ownPawnBits;
  n->side = node->opponent;
  n->opponent = node->side;
  n->key = node->key ^ sideKey;
  n->score = node->pg->tempo - node->score;
  n->matedScore = node->matedScore + 1;
  n->halfMoveClock = node->halfMoveClock + 1;
  n->ownPieces = node->ownPieces->other;
  n->pieceCursor = &n->ownPieces->node;
  n->pickerStage = 0;
  n->lastMove = NO_MOVE;
  n->pendingThreat = NO_MOVE;
  n->parent = const_cast<Position *>(node);
  n->nodeFlags = 0;
  n->epSquare = NO_SQUARE;
  n->capturedPiece = &b->sentinel;
  n->shuffleCount = 0;
  n->threatKind = 0;
  n->threatMove = NO_MOVE;
  n->threatTarget = &b->sentinel;
  n->childKillers[0] = n->childKillers[1] = NO_MOVE;
  n->futilityGap = -MATE_SCORE;
  n->movesTried = 0;
  n->inCheck = 0;
  n->hashMove = n->unresolvedThreat = NO_MOVE;
  if (threatSet(node->pendingThreat) && onBoard(realTo(node->pendingThreat))) {
    n->threatMove = node->pendingThreat;
    n->threatTarget = pieceOn(b, realTo(node->pendingThreat));
    n->nodeFlags |= NODE_THREAT;
  }
}

namespace {

// Does the stored move take back the move that led to the parent?
inline bool retracts(Move stored, Move parentMove) {
  return moveFrom(stored) == realTo(parentMove) && realTo(stored) == moveFrom(parentMove);
}

// Would a captures-only node search this move?
inline bool capturesOnlyMove(const Position *pos, Move m) {
  if (!moveSet(m)) return false;
  const Board *b = pos->pg;
  int to = realTo(m);
  return to == realTo(pos->lastMove) || m == pos->pendingThreat ||
         kindAt(pieceOn(b, to)) > kindAt(pieceOn(b, moveFrom(m)));
}

// A seeded move popped twice (the same move seeded by two rules) is tried once.
inline bool seededTwice(const PickerMemory *seen, Move m) {
  for (int i = 0; i + 1 < seen->count; i++)
    if (seen->moves[i] == m) return true;
  return false;
}

// The table entry this node holds, with the flags word it had before locking.
struct HeldEntry {
  HashEntry *entry = nullptr;
  uint32_t word = 0;
  bool mine = false;  // locked by this node (not only found)
  void release() {
    if (entry && mine) entryLockWord(entry)->store(word, std::memory_order_release);
    mine = false;
  }
};

// Narrows beta to the node's score ceiling after a move (raised to alpha + 1
// when the ceiling is not above alpha). At a split point helpers raise alpha
// and give a narrowed beta back under searchMutex: the narrowing takes it too,
// so that it never lowers beta under an alpha it has not seen.
void narrowBeta(const Position *pos, const int *alphaP, int *betaP, bool splitPoint) {
  if (splitPoint) lockSearchMutex();
  const int a = loadShared(alphaP), bt = loadShared(betaP);
  if (a < bt && pos->scoreCeiling < bt && a < DECISIVE_SCORE)
    storeShared(betaP, pos->scoreCeiling > a ? pos->scoreCeiling : a + 1);
  if (splitPoint) unlockSearchMutex();
}

}  // namespace

int search(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv, const Move *excluded) {
  Board *b = pos->pg;
  const int margin = searchMargin.load(std::memory_order_relaxed);

  // 1-3: futility base, mate distance, hook
  pos->futilityGap = (depth < 3 && !(pos->nodeFlags & NODE_NO_FUTILITY)) ? alpha + margin - pos->score : -MATE_SCORE;
  if (beta <= pos->matedScore) return beta;
  if (depth > 4 && nodeHook) {
    nodeHook();
    if (searchStopped(b)) return alpha;
  }

  const bool capturesOnly = (pos->nodeFlags & NODE_CAPTURES_ONLY) != 0;
  const int lastTo = realTo(pos->lastMove);

  // 4: killers, threat replies and the capture of the target square
  if (!capturesOnly) {
    const KillerPair kp = readKillers(killers);
    if (moveSet(kp.first)) {
      if (isValidSeed(pos, kp.second)) pushMove(pos, kp.second);
      if (isValidSeed(pos, kp.first)) pushMove(pos, kp.first);
    }
    // the piece that just moved (none after an under-promotion, whose to-byte is negative)
    int target = (int8_t)moveToByte(pos->lastMove) < 0 ? NO_SQUARE : moveToByte(pos->lastMove);
    if (pos->nodeFlags & NODE_THREAT) {
      int t = moveToByte(pos->threatMove);
      if (onBoard(t)) {
        Move newer = pos->ownPieces->threatReplies[t + 8], older = pos->ownPieces->threatReplies[t];
        if (moveSet(newer)) {
          if (isValidSeed(pos, older)) pushMove(pos, older);
          if (isValidSeed(pos, newer)) pushMove(pos, newer);
        }
      }
      target = moveFrom(pos->threatMove);
    }
    seedRecaptures(pos, target);
  }

  // 5: the pending capture, then the table
  pos->bestScore = alpha;
  if (threatSet(pos->pendingThreat) && !(pos->nodeFlags & NODE_NO_PENDING_PUSH) && isValidSeed(pos, pos->pendingThreat))
    pushMove(pos, pos->pendingThreat);
  pos->hashMove = NO_MOVE;
  pos->savedBeta = beta;
  pos->scoreCeiling = MATE_SCORE;
  pos->boundFlags = ENTRY_UPPER_BOUND;

  // 6: probe, cut and repetition
  HeldEntry held;
  int d2 = 2 * depth + ((pos->nodeFlags & NODE_THREAT) ? 1 : 0);
  if (d2 > 254) d2 = 254;
  int hs = 0, hd = 0;
  if (!excluded) {
    uint32_t w = 0;
    held.entry = lockHashEntry(&hashTable, pos->key, d2, b->threadId, &w);
    if (held.entry) {
      held.word = w;
      held.mine = (w & ENTRY_LOCK) == 0;
      hs = (int16_t)(w >> 16);
      hd = __atomic_load_n(&held.entry->depth, __ATOMIC_RELAXED);  // other threads may rewrite it
      Move stored = __atomic_load_n(&held.entry->move, __ATOMIC_RELAXED);
      pos->boundFlags = w & ENTRY_FLAG_BITS;
      int lock = w & ENTRY_LOCK;
      bool repeats = (w & ENTRY_ON_PATH) && (lock == HISTORY_MARK_OWNER || lock == b->threadId || lock == b->masterBoard->threadId);
      bool noCut = false, dropped = false;
      if (hd != 0) {
        noCut = pos->parent && retracts(stored, pos->parent->lastMove) && pos->halfMoveClock > 1 && hs > 0 && !repeats;
        if (!noCut) {
          if ((pos->nodeFlags & NODE_SCOUT) && hs < beta && (w & ENTRY_UPPER_BOUND)) {
            held.release();
            return alpha;
          }
          if ((d2 <= hd + 3 || (beta + 29 < hs && (w & ENTRY_LOWER_BOUND))) && threatSet(stored)) {
            if (isPseudoLegal(pos, stored)) {
              pos->hashMove = stored;
              pos->scoreCeiling = (w & ENTRY_UPPER_BOUND) ? hs : MATE_SCORE;
            } else {  // not a move of this position: the entry is not used at all
              held.release();
              held.entry = nullptr;
              dropped = true;
            }
          }
        }
      }
      if (!dropped && !noCut && pos->parent && (d2 <= hd || repeats)) {
        if (threatSet(stored) && isPseudoLegal(pos, stored)) {
          pv[0] = stored;
          pv[1] = NO_MOVE;
        } else {
          pv[0] = NO_MOVE;
        }
        if (repeats) {
          held.release();
          return 0;
        }
        if (!(pos->boundFlags & ENTRY_UPPER_BOUND)) {
          if (alpha < hs && (!capturesOnly || capturesOnlyMove(pos, pos->hashMove))) {
            pos->bestScore = alpha = hs;
            if (alpha >= beta) {
              held.release();
              return alpha;
            }
          }
        } else {
          if ((pos->boundFlags & ENTRY_BOUNDS) == ENTRY_BOUNDS) {
            held.release();
            return hs;
          }
          beta = std::min(beta, hs);
          if (alpha >= beta) {
            held.release();
            return alpha;
          }
        }
      }
      pos->boundFlags = ENTRY_UPPER_BOUND;
      if (capturesOnly) d2--;
    }
  }

  // 7-8
  pos->inCheck = (pos->nodeFlags & NODE_THREAT) && kindAt(pos->threatTarget) == KING;
  // One record serves the pre-searches below as their scratch node and the
  // move loop as its child: the two never overlap, and the stack stays smaller.
  Position child;
  Move line[PV_LENGTH];
  bool nullCut = false;

  if (depth < 3) {
    pos->scoreCeiling = MATE_SCORE;
  } else {
    // 9: null move
    if (b->material != 0 && pos->parent && !(pos->nodeFlags & NODE_THREAT) && beta <= MATE_BOUND) {
      buildNullChild(pos, &child);
      const KillerPair ck = readKillers(pos->childKillers);
      alignas(4) Move nk[2] = {ck.first, ck.second};
      clearLine(line);
      int r = depth <= 5 ? searchFrontier(&child, 1, -beta + 1, -beta, nk, line)
                         : search(&child, depth - 4, -beta + 1, -beta, nk, line, nullptr);
      if (-r >= beta) {
        int score = -r;
        bool cut = true;
        if (depth >= 9) {
          copyNodeWithStack(&child, pos);
          clearLine(line);
          score = search(&child, depth - 7, beta, alpha, killers, line, excluded);
          cut = score >= beta;
        }
        if (cut) {
          pv[0] = NO_MOVE;
          pos->boundFlags = ENTRY_LOWER_BOUND;
          pos->movesTried = 1;
          alpha = score;
          nullCut = true;
        }
      }
    }

    if (!nullCut) {
      // 10: singular test
      if (depth >= 7 && !capturesOnly && held.entry && pos->hashMove != NO_MOVE && (held.word & ENTRY_LOWER_BOUND) &&
          hd >= depth - 3 && hs > -MATE_FOUND) {
        copyNode(&child, pos);
        Move ex[2] = {NO_MOVE, pos->hashMove};
        const KillerPair kp = readKillers(killers);
        alignas(4) Move sk[2] = {kp.first, kp.second};
        clearLine(line);
        int r = search(&child, depth / 2, hs - 26, hs - 27, sk, line, &ex[1]);
        if (r <= hs - 27) pos->nodeFlags |= NODE_SINGULAR;
      }
      // 11-12: internal search for a hash move
      pos->savedBeta = beta;
      if (pos->hashMove == NO_MOVE) {
        if (depth < 5) {
          pos->scoreCeiling = MATE_SCORE;
        } else if (!pos->parent && depth == currentDepth && moveSet(readKillers(killers).first)) {
          const KillerPair kp = readKillers(killers);
          if (moveSet(kp.second) && isPseudoLegal(pos, kp.second)) pushMove(pos, kp.second);
          pos->scoreCeiling = lastScore;
          if (isPseudoLegal(pos, kp.first)) pos->hashMove = kp.first;
        } else {
          copyNode(&child, pos);
          clearLine(line);
          int r = search(&child, depth - 3, beta, alpha, killers, line, excluded);
          pos->scoreCeiling = r;
          if (searchStopped(b)) {
            held.release();
            return alpha;
          }
          if (moveSet(line[0]) && isPseudoLegal(pos, line[0])) pos->hashMove = line[0];
        }
      }
      // 13: local narrowing near the root
      bool nearRoot = !pos->parent || !pos->parent->parent || !pos->parent->parent->parent;
      if ((nearRoot || beta == MATE_SCORE) && alpha <= MATE_BOUND && pos->scoreCeiling > -MATE_SCORE) {
        pos->scoreCeiling += 45;
        beta = std::max(pos->scoreCeiling, alpha + 1);
        beta = std::min(beta, pos->savedBeta);
      } else {
        pos->scoreCeiling = MATE_SCORE;
      }
      // 14: quiescence pre-search
      if (!capturesOnly) {
        copyNode(&child, pos);
        child.score += 25;
        child.statusFlags |= STATUS_NO_CHECK_EXTENSION | STATUS_CHECKED_AT_FRONTIER;
        alignas(4) Move qk[2] = {pos->hashMove, NO_MOVE};
        clearLine(line);
        int r;
        if (depth < 6) {
          r = quiesceChecks(&child, MATE_SCORE, pos->bestScore, qk, line);
        } else {
          child.statusFlags &= pos->ownPieces->quiesceMask;
          r = searchFrontier(&child, 1, MATE_SCORE, pos->bestScore, qk, line);
        }
        pos->bestScore = r;
        if (moveSet(line[0]) && pos->parent && isPseudoLegal(pos, line[0])) pushMove(pos, line[0]);
        if (pos->bestScore > MATE_FOUND) pos->hashMove = NO_MOVE;
      }
      if (held.mine) entryLockWord(held.entry)->fetch_or(ENTRY_ON_PATH, std::memory_order_relaxed);
      pos->nodeFlags |= NODE_SORTED_QUIETS;
    }
  }

  if (!nullCut) {
    // 15-16: the move loop
    if (pos->hashMove != NO_MOVE) pushMove(pos, pos->hashMove);
    pos->movesTried = 0;
    pos->quietStart = pos->moveCursor;
    PickerMemory seen;
    clearPickerMemory(&seen);
    initChildRecord(&child, b);
    for (;;) {
      Move m = pickMove(pos, &seen);
      if (m == NO_MOVE) break;
      if (pos->pickerStage == 0 && seededTwice(&seen, m)) continue;
      int from = moveFrom(m), to = realTo(m);
      PieceRecord *mover = pieceOn(b, from);
      PieceRecord *target = pieceOn(b, to);
      if (capturesOnly && !(to == lastTo || m == pos->pendingThreat || kindAt(target) > mover->desc.kind)) continue;
      const bool ep = isEnPassant(pos, mover, to);
      if (pos->futilityGap >= -19 && pos->futilityGap >= moveGain(mover, from, to, target) && !ep &&
          findAttacker(to, mover, pos->allBits, 6) == NO_SQUARE) {
        addMovesTried(pos, 1);
        continue;
      }
      pos->unresolvedThreat = NO_MOVE;
      if ((pos->nodeFlags & NODE_THREAT) && !answersThreat(pos, from, to, ep)) {
        if (pos->inCheck && kindAt(target) != KING) continue;
        pos->unresolvedThreat = pos->threatMove;
      }
      if (!(splitHook && splitHook(pos, depth, &beta, &alpha, killers, pv, m, &child, excluded)))
        searchMove(pos, depth, &beta, &alpha, killers, pv, m, &child, excluded);

      if (stopFlag.load(std::memory_order_relaxed)) {
        if (b->splitPoint == pos) setBoardEpoch(b, splitEpochCounter.load());
        break;
      }
      if (workIsStale(b)) {
        if (b->splitPoint != pos) break;
        setBoardEpoch(b, splitEpochCounter.load());
      }
      int a = loadShared(&alpha), bt = loadShared(&beta);
      if (a >= bt) break;
      if (pos->scoreCeiling < bt && a < DECISIVE_SCORE) narrowBeta(pos, &alpha, &beta, b->splitPoint == pos);
    }
    // 18: wait for the helpers of this node
    if (b->splitPoint == pos) endSplitHook(pos);
  }

  // 19: result and the mate test
  int result = loadShared(&alpha);
  if (!capturesOnly && (result == -MATE_SCORE || movesTriedOf(pos) == 0)) result = sideInCheck(pos) ? pos->matedScore : 0;

  // 20: store
  if (held.entry && held.mine) {
    bool skip = ((result == hs || (held.word & ENTRY_BOUNDS) != (uint32_t)(pos->boundFlags & ENTRY_BOUNDS)) && d2 < hd) ||
                (capturesOnly && result < beta) || searchStopped(b);
    if (skip) {
      held.release();
    } else {
      HashEntry *e = held.entry;
      // readers take no lock: the move and depth are single stores, the score
      // goes out with the flags word that releases the entry
      if (moveSet(pv[0])) __atomic_store_n(&e->move, pv[0], __ATOMIC_RELAXED);
      __atomic_store_n(&e->depth, (uint8_t)d2, __ATOMIC_RELAXED);
      uint32_t word = (uint32_t)(pos->boundFlags & ENTRY_BOUNDS) | ((uint32_t)(uint16_t)(int16_t)result << 16);
      entryLockWord(e)->store(word, std::memory_order_release);
      held.mine = false;
    }
  }
  return result;
}
