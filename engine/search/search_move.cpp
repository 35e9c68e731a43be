// Searching one move of a node: make it, test legality and the tablebases,
// decide the child's depth, window and flags, record threats, re-prepare the
// evaluation in a save slot when the move changes it, search the child,
// re-search on a scout or narrowed-beta fail high, update alpha, the line,
// the killers, threat replies and history, make the root reports, unmake.
// Also the null-move threat search and the root's alternative search.
#include "engine/search/search_move.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "engine/board/game/game.h"
#include "engine/board/keys.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/legality.h"
#include "engine/board/moves/makemove.h"
#include "engine/eval/pawn_endings.h"
#include "engine/eval/prepare.h"
#include "engine/eval/save_slots.h"
#include "engine/search/node_records.h"
#include "engine/search/ordering/history.h"
#include "engine/search/parallel.h"
#include "engine/search/quiesce.h"
#include "engine/search/root/control.h"
#include "engine/search/root/driver.h"
#include "engine/search/search.h"
#include "platform/platform.h"

std::atomic<int> rootOnHashMove{0};

namespace {

// Can a pawn of the side to move take en passant in this child?
bool epCapturable(const Position *c) {
  const Board *b = c->pg;
  int ep = c->epSquare;
  if (!(c->nodeFlags & NODE_EP_VALID) || !onBoard(ep)) return false;
  int pawnCode = c->side > 0 ? WHITE_PAWN : BLACK_PAWN;
  int a = c->side > 0 ? ep - 15 : ep + 15, bsq = c->side > 0 ? ep - 17 : ep + 17;
  for (int sq : {a, bsq})
    if (onBoard(sq) && pieceOn(b, sq)->colour == c->side && pieceOn(b, sq)->desc.code == pawnCode) return true;
  return false;
}

}  // namespace

// ---- searching one move ----
namespace {

// The root reports need the board at the root: take the move back (with the
// root's preparation restored first) and make it again afterwards.
void takeBackForReport(Position *child, int slot) {
  if (slot >= 0) restoreSaveSlot(slot, child->pg);
  unmakeMove(child);
}
void makeAgainAfterReport(Position *node, Move move, Position *child, int slot) {
  makeMove(node, move, child);
  afterMake(node, child);
  if (slot >= 0) prepare(child, 0);
}

void reportLine(int depth, int alpha, int beta, Move *pv, const Move *childLine) {
  if (!pvHook || depth <= 3) return;
  copyLine(pv + 1, childLine, PV_LENGTH - 1);
  pvHook(depth, alpha, pv, alpha >= beta ? 1 : 0);
}

}  // namespace

void searchMove(Position *node, int depth, int *betaP, int *alphaP, Move *killers, Move *pv, Move move,
                Position *child, const Move *excluded) {
  Board *b = node->pg;
  const int margin = searchMargin.load(std::memory_order_relaxed);
  const int from = moveFrom(move), S = realTo(move);
  PieceRecord *mover = pieceOn(b, from);
  const int moverKind = mover->desc.kind, moverCode = mover->desc.code;
  const bool castles = moverKind == KING && (S - from == 2 || S - from == -2);
  const bool sharedCopy = (node->nodeFlags & NODE_SHARED_SPLIT) != 0;
  const bool shared = sharedCopy || b->splitPoint == node;
  const bool nodeCO = (node->nodeFlags & NODE_CAPTURES_ONLY) != 0;
  const bool nodeScout = (node->nodeFlags & NODE_SCOUT) != 0;
  const bool atRoot = node->parent == nullptr;
  const bool rootOfIteration = atRoot && depth == currentDepth;
  // the root's reports, made for the root of an iteration without excluded moves
  const bool rootReports = rootOfIteration && (!excluded || moveFrom(*excluded) == NO_SQUARE);
  const bool isHash = move == node->hashMove;
  // only a hash move asks (step 13); read from the board before the move is made
  const bool nodeLastWasCapture =
      isHash && (node->capturedPiece != &b->sentinel ||
                 (isSpecialMove(node) && onBoard(realTo(node->lastMove)) && kindAt(pieceOn(b, realTo(node->lastMove))) != KING));
  const int lastTo = realTo(node->lastMove);

  // 1
  makeMove(node, move, child);
  afterMake(node, child);
  const int rememberedFlags = child->nodeFlags;
  const int limit = depth - 1 > 1 ? 7 : 6;
  PieceRecord *captured = child->capturedPiece;
  const bool capture = captured != &b->sentinel;
  const int capturedKind = capture ? captured->desc.kind : KIND_EMPTY;
  int slot = -1;
  int full = 0;
  bool rewardCut = false;
  Move childLine[PV_LENGTH];

  for (;;) {  // one search round; re-searches start here again
    // 2
    child->moveCursor = child->moveList;
    child->pieceCursor = &child->ownPieces->node;
    child->nodeFlags = rememberedFlags;
    child->pickerStage = 0;
    clearLine(childLine);
    int cd = depth - 1;
    int childScore = 0;
    bool scored = false;

    // 3: excluded moves, the root's legality test and current-move report
    if (excluded) {
      for (const Move *e = excluded; moveFrom(*e) != NO_SQUARE; --e)
        if (*e == move) {
          childScore = MATE_SCORE;
          scored = true;
          break;
        }
    }
    if (!scored && rootOfIteration && currentMoveHook && depth >= 10) {
      if (listAttacks(b, child->ownPieces, kingSquare(b, node->side), child->allBits)) {
        childScore = MATE_SCORE;
        scored = true;
      } else if (rootReports) {
        currentMoveHook(depth, child, full);
      }
    }
    if (atRoot) rootOnHashMove.store(isHash ? 1 : 0, std::memory_order_relaxed);

    // 4: a result fixed by make-move
    if (!scored && (child->statusFlags & STATUS_RESULT_FIXED)) {
      childScore = child->score;
      scored = true;
    }

    // 5: legality and tablebases, deep children only
    if (!scored && cd >= 8) {
      uint64_t occ = child->allBits ? child->allBits : node->allBits;
      if (listAttacks(b, child->ownPieces, kingSquare(b, node->side), occ)) {
        childScore = MATE_SCORE;
        scored = true;
      } else if (tablebaseHook && b->menCount <= tbMenLimit) {
        int ep = epCapturable(child) ? child->epSquare : 0;
        int v = 0;
        lockSearchMutex();
        int hit = tablebaseHook(b, child->side, ep, &v);
        unlockSearchMutex();
        if (hit == 1) {
          // distances counted from the probed child
          childScore = v == 0 ? 0 : v < 0 ? child->matedScore - 2 * v - 2 : -2 * v - child->matedScore + 1;
          scored = true;
        }
      }
      if (!scored && loadShared(alphaP) == -MATE_SCORE && !full) full = 1;
    }

    if (!scored) {
      // 6: is the threat the node left open still real?
      if (threatSet(node->unresolvedThreat) && (node->threatKind & 3)) {
        int tsq = moveToByte(node->unresolvedThreat);
        if ((couldReach(mover, S, tsq) || (capture && couldReach(captured, S, tsq))) &&
            threatIsGone(child, node->unresolvedThreat))
          node->unresolvedThreat = NO_MOVE;
      }
      // 7: the attacker's new target once the threat was answered
      if ((node->nodeFlags & NODE_THREAT) && !threatSet(node->unresolvedThreat)) {
        int asq = moveFrom(node->threatMove), oldTarget = moveToByte(node->threatMove);
        if (onBoard(asq)) {
          PieceRecord *attacker = pieceOn(b, asq);
          if (attacker->colour == node->opponent) {
            int r = findAttacker(asq, attacker, child->allBits, limit);
            if (r != NO_SQUARE && !(r == oldTarget && S != oldTarget)) node->unresolvedThreat = makeMoveWord(asq, r);
          }
        }
      }
      // 8
      child->pendingThreat = node->unresolvedThreat;
      // 9: does the moved piece hang?
      if (cd > 1 && !nodeCO && !isHash && !full) {
        int bound = std::max(child->score, 24 - node->score);
        Move m = NO_MOVE;
        quiesce(child, bound + 1, bound, &m);
        if (moveSet(m)) {
          if (moverKind == KING) {
            childScore = MATE_SCORE;
            scored = true;
          } else if (nodeScout && move != node->pendingThreat) {
            childScore = PRUNED_SCORE;
            scored = true;
          } else {
            child->nodeFlags |= NODE_CAPTURES_ONLY | NODE_SCOUT;
            cd = depth - 2;
            if (threatSet(child->pendingThreat)) {
              if ((node->nodeFlags & NODE_MATE_THREAT) || !(node->nodeFlags & NODE_THREAT) || mover->value <= node->threatTarget->value) {
                pushMove(child, m);
              } else {
                child->nodeFlags |= NODE_NO_PENDING_PUSH;
                pushMove(child, child->pendingThreat);
                pushMove(child, m);
              }
            } else if ((node->nodeFlags & NODE_THREAT) && mover == node->threatTarget) {
              child->pendingThreat = m;
            } else {
              pushMove(child, m);
            }
          }
        }
      }
    }

    bool searched = false;
    if (!scored) {
      const bool childCO = (child->nodeFlags & NODE_CAPTURES_ONLY) != 0;
      // 10: re-preparation in a save slot
      if (!childCO && slot < 0 && cd > 2) {
        bool capQueen = capture && capturedKind == QUEEN;
        bool need = (cd == 3 && capQueen && !nodeScout) || (cd >= 9 && nodeScout);
        if (cd >= 4 && !nodeScout &&
            (moverKind == PAWN || capture || cd >= 9 || isSpecialMove(child) ||
             ((node->statusFlags & CASTLE_WHITE_SHORT) && from == 7) || ((node->statusFlags & CASTLE_BLACK_SHORT) && from == 0x77) ||
             (moverKind == KING && b->kingZoneTable && b->kingZoneTable[from] != b->kingZoneTable[S]) ||
             (moverKind == KING && node->inCheck) || capQueen))
          need = true;
        if (need) {
          slot = claimSaveSlot(b);
          if (slot >= 0) {
            fillSaveSlot(slot, b);
            prepare(child, 0);
          }
        }
      }
      // 11-12: threats against the child
      const bool childPT = threatSet(child->pendingThreat);
      bool detect = false;
      int mode = 0;
      if (cd > 1 && !nodeCO && !childCO) {
        if (!childPT || capture) {
          detect = true;
          if (cd >= 9) mode = full ? 3 : 1;
          else if (cd >= 5) mode = (capture && childPT && !anyQueen(b) && !full) ? 0 : 1;
          else mode = 0;
        } else if (full) {
          detect = true;
          mode = cd >= 9 ? 3 : cd >= 5 ? 1 : 0;
        }
      }
      if (detect) {
        if (mode > 1) updateHashKey(child);
        searchNullMove(child, node->bestScore, mode);
        if (cd >= 9 && !full && (!childPT || capture) && !(child->nodeFlags & NODE_THREAT)) child->nodeFlags |= NODE_SCOUT;
      } else {
        child->threatKind = 0;
        int r = findAttacker(S, mover, child->allBits, (cd < 5 || childCO) ? 6 : 7);
        if (r == NO_SQUARE) {
          if (cd > 1 && !nodeCO && !childCO) child->nodeFlags |= NODE_SCOUT;
        } else {
          PieceRecord *target = pieceOn(b, r);
          child->threatMove = makeMoveWord(S, r);
          child->threatTarget = target;
          child->nodeFlags |= NODE_THREAT;
          if (!full && movesTriedOf(node) > 0 && moveGain(mover, S, r, target) <= child->score + node->bestScore) {
            child->threatKind = 4;
            child->nodeFlags |= NODE_THREAT | NODE_SCOUT;
          } else {
            child->threatKind = mover->desc.kind >= kindAt(target) ? 1 : 0;
          }
        }
      }
      // 13: extensions, never two in a row
      if (!(node->nodeFlags & NODE_EXTENDED)) {
        bool ext = false;
        if (!childCO && ((child->nodeFlags & NODE_MATE_THREAT) || ((child->nodeFlags & NODE_THREAT) && kindAt(child->threatTarget) == KING)))
          ext = true;
        if (!childCO && capture && capturedKind == QUEEN && !anyQueen(b)) ext = true;
        if ((node->nodeFlags & NODE_SINGULAR) && isHash) ext = true;
        if (nodeLastWasCapture && capture && !childCO && !nodeCO && move != node->pendingThreat && cd > 2)
          ext = true;
        if (ext) {
          cd++;
          child->nodeFlags |= NODE_EXTENDED;
        }
      }
      // 14
      if (!childCO && threatSet(child->pendingThreat) && (child->nodeFlags & NODE_THREAT) && child->threatKind == 0 &&
          S != realTo(node->pendingThreat))
        child->nodeFlags |= NODE_NO_FUTILITY;
      // 15: moves out of check
      if (node->inCheck && !(node->nodeFlags & NODE_EXTENDED)) {
        if (S != moveFrom(node->threatMove) && !full && !isHash) {
          child->nodeFlags |= NODE_SCOUT;
        } else {
          cd = depth;
          child->nodeFlags |= NODE_EXTENDED;
        }
      }
      // 16: recaptures at the root
      if (atRoot && !childCO &&
          (S == lastTo || ((node->nodeFlags & NODE_THREAT) && S == moveFrom(node->threatMove)))) {
        cd = depth;
        child->nodeFlags |= NODE_EXTENDED;
      }
      // 17: reductions
      const bool richQueen = anyQueen(b) && b->material >= richMaterial;
      const bool eligible = !capture && (child->score > -43 - node->score || childCO) &&
                            (!(child->nodeFlags & NODE_THREAT) || child->threatKind > 2) &&
                            !(moverKind == PAWN && (node->ownPieces->marks[S] & 8) && !richQueen);
      int route = 3;  // 2: both reductions, 3: the second alone, 0: none
      if (eligible) {
        route = 2;
        if (atRoot && !isHash && full) route = 0;
        else if (node->nodeFlags & NODE_THREAT) route = full ? 0 : (!threatSet(child->pendingThreat) ? 3 : 2);
        if (route == 2 && (node->nodeFlags & NODE_SINGULAR) && isHash) route = 3;
      }
      if (route == 2) {
        if (atRoot && !isHash && !full) child->nodeFlags |= NODE_SCOUT;
        cd--;
        if (!full) {
          if (threatSet(child->pendingThreat)) child->nodeFlags |= NODE_CAPTURES_ONLY | NODE_SCOUT;
          if (!isHash &&
              ((cd > 0 && movesTriedOf(node) >= 3) || (moverKind == KING && !castles && b->material > 3399))) {
            cd--;
            child->nodeFlags |= NODE_SCOUT;
          }
        }
      } else if (route == 3) {
        if (!full && !isHash && cd > 0 && movesTriedOf(node) > 3) {
          cd--;
          child->nodeFlags |= NODE_SCOUT;
        }
      }
      // 18: single-pawn draws
      if ((b->material == 0 || b->material == b->kinds[WHITE_BISHOP].middlegameValue) &&
          (b->kinds[WHITE_PAWN].count == 1 || b->kinds[BLACK_PAWN].count == 1) && cd < 30)
        kingPawnTerm(child);

      // 19: window and child search
      const int alpha = loadShared(alphaP), beta = loadShared(betaP);
      const int betaC = -alpha;
      int alphaC = -beta;
      if (beta > 0 && (child->shuffleCount >= 1 || (child->statusFlags & node->ownPieces->cannotWinMask))) {
        if (alpha >= 0) {
          childScore = 0;
          scored = true;
        } else {
          alphaC = 0;
          if (child->shuffleCount >= 1) {
            if (!full) child->nodeFlags |= NODE_SCOUT;
            else cd++;
          }
        }
      }
      if (!scored) {
        if (child->nodeFlags & NODE_SCOUT) alphaC = -alpha - 1;
        const bool childThreat = (child->nodeFlags & NODE_THREAT) != 0;
        if (cd < 1 && (!childThreat || child->threatKind >= 3)) {
          childScore = quiesceChecks(child, betaC, alphaC, node->childKillers, childLine);
        } else if (cd < 1 && !(child->nodeFlags & NODE_MATERIAL_ZERO)) {
          childScore = searchFrontier(child, 0, betaC, alphaC, node->childKillers, childLine);
        } else {
          if (child->nodeFlags & NODE_MATERIAL_ZERO) {
            if (b->material == 0) cd += capturedKind == QUEEN ? 2 : 1;
            else cd -= 2;
          }
          if (cd < 2) {
            childScore = searchFrontier(child, std::max(cd, 0), betaC, alphaC, node->childKillers, childLine);
          } else {
            updateHashKey(child);
            prefetchHash(&hashTable, child->key);
            childScore = search(child, cd, betaC, alphaC, node->childKillers, childLine, nullptr);
          }
        }
        searched = true;
        scored = true;
      }
    }

    if (searched && searchStopped(b)) {
      const int a = loadShared(alphaP);  // alpha first: see parallel.h
      if (sharedCopy && !stopFlag.load(std::memory_order_relaxed) && a < loadShared(betaP)) {
        if (node->futilityGap != -MATE_SCORE) node->futilityGap = margin + a - node->score;
        node->bestScore = std::max(node->bestScore, a);
        full = 1;
        setBoardEpoch(b, splitEpochCounter.load());
        continue;  // resumed with the new alpha
      }
      break;
    }

    // 20: result
    const int score = -childScore;
    if (score <= loadShared(alphaP)) {
      if (childScore != MATE_SCORE) addMovesTried(node, 1);  // helpers at a split point add to the same word
      break;
    }
    if (child->nodeFlags & NODE_SCOUT) {  // a scout fail high is searched again in full
      full = 1;
      continue;
    }
    bool locked = false;
    if (shared) {
      lockSearchMutex();
      locked = true;
      if (score <= loadShared(alphaP)) {  // a helper raised alpha meanwhile
        unlockSearchMutex();
        addMovesTried(node, 1);  // helpers at a split point add to the same word
        break;
      }
    }
    const int alpha = score;
    const int beta = loadShared(betaP);
    // A fail high against a beta narrowed by the node's score ceiling is no
    // cut: the real beta goes back before the new alpha is seen, so that no
    // thread at a split node takes the pair for a cut and leaves moves unsearched.
    const bool narrowedFailHigh = alpha >= beta && depth >= 3 && node->savedBeta > beta && node->savedBeta > alpha;
    if (narrowedFailHigh) storeShared(betaP, node->savedBeta);
    storeShared(alphaP, alpha);
    if (sharedCopy) {
      int c = splitEpochCounter.fetch_add(1) + 1;
      setBoardEpoch(b, c);
      setBoardEpoch(b->masterBoard, c);
    }
    const Move k0 = readKillers(killers).first;
    if (move != k0 && (atRoot || (move != node->pendingThreat && S != lastTo))) setKillers(killers, move, k0);
    if ((node->nodeFlags & NODE_THREAT) && !threatSet(child->pendingThreat) && S != moveFrom(node->threatMove)) {
      int tt = moveToByte(node->threatMove);
      if (onBoard(tt)) {
        PieceListHead *head = node->ownPieces;
        head->threatReplies[tt] = head->threatReplies[tt + 8];
        head->threatReplies[tt + 8] = move;
      }
    }
    pv[0] = move;
    pv[1] = NO_MOVE;

    // root reports
    if (rootReports) {
      takeBackForReport(child, slot);
      if (isHash) {
        if (alpha <= lastScore - 18) {
          iterationDone.store(0);
          if (depth > 3 && alpha <= lastScore - 46) {
            if (locked) unlockSearchMutex();
            searchRootAlternative(node, depth, beta, alpha, killers);
            if (locked) lockSearchMutex();
          }
        }
      } else if (alpha < lastScore) {
        iterationDone.store(0);
      }
      reportLine(depth, alpha, beta, pv, childLine);
      makeAgainAfterReport(node, move, child, slot);
    }

    if (alpha < beta) {
      node->boundFlags = ENTRY_BOUNDS;
      copyLine(pv + 1, childLine, PV_LENGTH - 1);
      if (node->futilityGap != -MATE_SCORE) node->futilityGap = margin - node->score + alpha;
      node->bestScore = std::max(node->bestScore, alpha);
      if (locked) unlockSearchMutex();
      addMovesTried(node, 1);  // helpers at a split point add to the same word
      break;
    }
    if (!narrowedFailHigh) {
      node->boundFlags = ENTRY_LOWER_BOUND;
      if (locked) unlockSearchMutex();
      if (!capture && (node->nodeFlags & NODE_SORTED_QUIETS)) rewardCut = true;
      addMovesTried(node, 1);  // helpers at a split point add to the same word
      break;
    }
    // fail high against a narrowed beta: the move again with the real beta
    full = 1;
    if (!atRoot && rootOnHashMove.load(std::memory_order_relaxed)) iterationDone.store(0);
    if (locked) unlockSearchMutex();
  }

  // 21
  if (slot >= 0) {
    restoreSaveSlot(slot, b);
    freeSaveSlot(slot);
  }
  unmakeMove(child);
  if (rewardCut) {
    historyReward(moverCode, S, depth);
    // the quiet moves of this batch tried before the cut one
    for (Move *q = node->moveCursor + 1; q < node->quietStart; q++) {
      int f = moveFrom(*q), t = realTo(*q);
      if (!onBoard(f) || !onBoard(t)) continue;
      const PieceRecord *p = pieceOn(b, f);
      if (p->colour != node->side || !isEmpty(pieceOn(b, t))) continue;
      historyPenalty(p->desc.code, t, depth);
    }
  }
}

// ---- the null-move threat search ----
int searchNullMove(Position *pos, int bound, int mode) {
  if (pos->statusFlags & STATUS_RESULT_FIXED) return bound;
  Board *b = pos->pg;
  if (mode > 1 && pos->parent) {
    pos->moveCursor = pos->moveList;
    pos->pickerStage = 0;
    pos->pieceCursor = &pos->ownPieces->node;
  }
  Position n;
  buildNullChild(pos, &n);
  n.statusFlags |= STATUS_NO_CHECK_EXTENSION | STATUS_CHECKED_AT_FRONTIER;
  int a = std::max(bound, n.score + 6);
  const KillerPair ck = readKillers(pos->childKillers);
  alignas(4) Move nk[2] = {ck.first, ck.second};
  Move line[PV_LENGTH];
  clearLine(line);
  int r;
  if (mode > 1) {
    r = search(&n, mode, MATE_SCORE, a, nk, line, nullptr);
  } else if (mode == 1) {
    n.statusFlags &= n.ownPieces->quiesceMask;
    r = searchFrontier(&n, 1, MATE_SCORE, a, nk, line);
  } else {
    r = quiesceChecks(&n, MATE_SCORE, a, nk, line);
  }
  Move m = line[0];
  int f = moveFrom(m), t = realTo(m);
  const PieceRecord *attacker = onBoard(f) ? pieceOn(b, f) : nullptr;
  bool kingStep = attacker && attacker->desc.kind == KING && (t - f == 2 || t - f == -2);
  if (moveSet(m) && attacker && onBoard(t) && !kingStep) {
    pos->threatMove = makeMoveWord(f, t);
    pos->threatTarget = pieceOn(b, t);
    pos->threatKind = attacker->desc.kind >= kindAt(pos->threatTarget) ? 1 : 0;
    pos->nodeFlags |= NODE_THREAT;
    if (r >= MATE_FOUND) pos->nodeFlags |= NODE_MATE_THREAT;
  } else {
    pos->nodeFlags &= ~NODE_THREAT;
  }
  return r;
}

void searchRootAlternative(Position *node, int depth, int beta, int alpha, Move *killers) {
  Position s;
  copyNode(&s, node);
  const KillerPair kp = readKillers(killers);
  alignas(4) Move ak[2] = {kp.second, NO_MOVE};
  Move ex[2] = {NO_MOVE, kp.first};
  Move line[PV_LENGTH];
  clearLine(line);
  search(&s, depth - 2, beta, alpha, ak, line, &ex[1]);
  if (moveSet(line[0]) && isPseudoLegal(node, line[0])) pushMove(node, line[0]);
}
