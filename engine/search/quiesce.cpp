// The searches below the node search: the frontier search of the last one or
// two plies, the capture search with stand-pat, and the static exchange count
// on the square of the last move.
#include "engine/search/quiesce.h"

#include <algorithm>
#include <cassert>

#include "engine/board/moves/attacks.h"
#include "engine/board/moves/makemove.h"
#include "engine/eval/prepare.h"
#include "engine/search/node_records.h"
#include "engine/search/ordering/picker.h"
#include "engine/search/search.h"

namespace {

constexpr int QUEEN_CAPABILITY = 2;  // the queen's bit of the capability words

// The king's square `ksq` when the man that has just moved to `to` attacks
// it, NO_SQUARE otherwise. Most men cannot reach the king's square even on an
// empty board: that test comes first and spares them the attacker search. (A
// pawn on its last rank is tested as a queen.)
int checkedKingSquare(const PieceRecord *mover, int to, uint64_t occupancy, int ksq) {
  assert(mover && onBoard(to));
  if (!onBoard(ksq)) return NO_SQUARE;
  int reachable = mover->desc.capability;
  if (mover->desc.kind == PAWN) reachable |= QUEEN_CAPABILITY;
  if (!(attackCapability(ksq - to) & reachable)) return NO_SQUARE;
  return findAttacker(to, mover, occupancy, 11) == ksq ? ksq : NO_SQUARE;
}

}  // namespace

// The threat capture is played and counted by the exchange; when the side
// that owns the threatened piece comes out above the bound, the threat is gone.
bool threatIsGone(Position *child, Move threat) {
  Board *b = child->pg;
  int from = moveFrom(threat), to = moveToByte(threat);
  if (!onBoard(from) || !onBoard(to)) return true;
  if (pieceOn(b, from)->colour != child->side || pieceOn(b, to)->colour == child->side) return true;
  Position g;
  makeMove(child, threat, &g);
  afterMake(child, &g);
  int bound = std::max(-child->score - 6, g.score);
  int r = (g.statusFlags & STATUS_RESULT_FIXED) ? g.score : quiesce(&g, bound + 1, bound, nullptr);
  unmakeMove(&g);
  return r > bound;
}

namespace {

// givesCheck with the square of the enemy king known (the searches read it once per node).
inline bool givesCheckTo(const Position *pos, const PieceRecord *mover, int from, int to, int ksq) {
  const Board *b = pos->pg;
  int side = pos->side;
  if (!onBoard(ksq) || ksq == to) return false;
  uint64_t occ = (pos->allBits & ~bitOf88(from)) | bitOf88(to);
  int d = ksq - to;
  int cap = mover->desc.capability;
  if (mover->desc.kind == PAWN) {
    if (rankOf(to) == (side > 0 ? 7 : 0)) {
      cap = 2;  // tested as a queen
    } else {
      if (d == 16 * side + 1 || d == 16 * side - 1) return true;
      return rankOf(to) == (side > 0 ? 6 : 1) && isEmpty(pieceOn(b, to + 16 * side));
    }
  }
  if (!(attackCapability(d) & cap)) return false;
  if (cap & (2 | 4 | 8)) return (squaresBetween(to, ksq) & occ) == 0;
  return true;
}

}  // namespace

bool givesCheck(const Position *pos, const PieceRecord *mover, int from, int to) {
  return givesCheckTo(pos, mover, from, to, kingSquare(pos->pg, pos->opponent));
}

int searchFrontier(Position *pos, int depth, int beta, int alpha, Move *killers, Move *pv) {
  if (depth < 0) depth = 0;
  Board *b = pos->pg;
  const int margin = searchMargin.load(std::memory_order_relaxed);
  pos->futilityGap = margin + alpha - pos->score;
  if (!(pos->nodeFlags & NODE_THREAT) && beta == alpha + 1 && pos->score >= beta + 8) return beta;

  const bool capturesOnly = (pos->nodeFlags & NODE_CAPTURES_ONLY) != 0;
  const int lastTo = realTo(pos->lastMove);
  if (!capturesOnly) {
    const KillerPair kp = readKillers(killers);
    if (moveSet(kp.first) && !threatSet(pos->pendingThreat) && isValidSeed(pos, kp.second))
      pushMove(pos, kp.second);
    if (isValidSeed(pos, kp.first)) pushMove(pos, kp.first);
    if (pos->nodeFlags & NODE_THREAT) {
      int t = moveToByte(pos->threatMove);
      if (onBoard(t)) {
        Move reply = pos->ownPieces->threatReplies[t + 8];
        if (isValidSeed(pos, reply)) pushMove(pos, reply);
      }
    }
    seedRecaptures(pos, lastTo);
  }
  if (threatSet(pos->pendingThreat) && !(pos->nodeFlags & NODE_NO_PENDING_PUSH) && isValidSeed(pos, pos->pendingThreat))
    pushMove(pos, pos->pendingThreat);

  pos->movesTried = 0;
  PickerMemory seen;
  clearPickerMemory(&seen);
  const bool inCheck = (pos->nodeFlags & NODE_THREAT) && kindAt(pos->threatTarget) == KING;
  const bool threatened = (pos->nodeFlags & NODE_THREAT) != 0;
  const int enemyKing = kingSquare(b, pos->opponent);
  Position child;
  initChildRecord(&child, b);
  Move childLine[PV_LENGTH];

  for (;;) {
    Move m = pickMove(pos, &seen);
    if (m == NO_MOVE) break;
    int from = moveFrom(m), to = realTo(m);
    PieceRecord *mover = pieceOn(b, from);
    PieceRecord *target = pieceOn(b, to);
    if (capturesOnly && !(to == lastTo || m == pos->pendingThreat || kindAt(target) > mover->desc.kind)) continue;
    const bool ep = isEnPassant(pos, mover, to);

    // futility: at depth 0 every futile move goes, at depth 1 a check stays
    if (pos->futilityGap >= -19 || depth == 0) {
      int gain = moveGain(mover, from, to, target);
      if (gain <= pos->futilityGap && !ep && (depth == 0 || !givesCheckTo(pos, mover, from, to, enemyKing))) {
        pos->movesTried++;
        continue;
      }
    }

    // the recorded threat: answered, or handed to the child as its pending capture
    Move handed = NO_MOVE;
    bool answered = false;
    if (threatened) {
      answered = answersThreat(pos, from, to, ep);
      if (!answered) {
        if (inCheck) {
          if (kindAt(target) != KING) continue;
        } else {
          handed = pos->threatMove;
        }
      }
    }

    int childScore = 0;
    for (int pass = 1;; pass++) {
      clearLine(childLine);
      makeMove(pos, m, &child);
      afterMake(pos, &child);
      if (child.statusFlags & STATUS_RESULT_FIXED) {
        childScore = child.score;
        unmakeMove(&child);
        break;
      }
      child.pendingThreat = handed;
      if (threatSet(handed) && (pos->threatKind & 3)) {
        int tsq = moveToByte(handed);
        PieceRecord *taken = child.capturedPiece;
        bool reaches = couldReach(mover, to, tsq) || (taken != &b->sentinel && couldReach(taken, to, tsq));
        if (reaches && threatIsGone(&child, handed)) child.pendingThreat = NO_MOVE;
      }
      if (depth == 1) {
        if (threatened && answered) {
          int asq = moveFrom(pos->threatMove), oldTarget = moveToByte(pos->threatMove);
          PieceRecord *attacker = onBoard(asq) ? pieceOn(b, asq) : &b->sentinel;
          if (attacker->colour == pos->opponent) {
            int r = findAttacker(asq, attacker, child.allBits, 6);
            if (r != NO_SQUARE && !(r == oldTarget && to != oldTarget)) child.pendingThreat = makeMoveWord(asq, r);
          }
        }
        child.threatKind = 0;
        int r = checkedKingSquare(mover, to, child.allBits, enemyKing);
        if (r != NO_SQUARE) {
          child.threatMove = makeMoveWord(to, r);
          child.threatTarget = pieceOn(b, r);
          child.nodeFlags |= NODE_THREAT;
        }
      }
      int extension = 0;
      if (threatSet(child.pendingThreat) && to != realTo(pos->pendingThreat) && depth == 1 &&
          (child.nodeFlags & NODE_THREAT) && realTo(child.pendingThreat) != to && !(pos->nodeFlags & NODE_EXTENDED)) {
        if (pass == 1) {
          child.nodeFlags |= NODE_CAPTURES_ONLY | NODE_SCOUT;
        } else {
          child.nodeFlags |= NODE_EXTENDED;
          extension = depth;
        }
      }
      int alphaC = -beta;
      if (beta > 0 && (child.shuffleCount > 0 || (child.statusFlags & pos->ownPieces->cannotWinMask))) {
        if (alpha >= 0) {
          childScore = 0;
          unmakeMove(&child);
          break;
        }
        alphaC = 0;
      }
      if (inCheck && anyQueen(b) &&
          (b->material >= richMaterial ? !(pos->statusFlags & STATUS_NO_CHECK_EXTENSION) : depth == 1) &&
          to != moveFrom(pos->threatMove) && !(pos->nodeFlags & NODE_EXTENDED)) {
        if (pass == 1) {
          child.nodeFlags |= NODE_SCOUT;
        } else {
          child.nodeFlags |= NODE_EXTENDED;
          if (depth == 0) child.statusFlags |= STATUS_NO_CHECK_EXTENSION;
          extension = 1;
          alphaC = std::max(alphaC, child.score);
        }
      }
      const bool scout = (child.nodeFlags & NODE_SCOUT) != 0;
      if (scout) alphaC = -alpha - 1;
      if (extension > 0) {
        childScore = searchFrontier(&child, extension, -alpha, alphaC, pos->childKillers, childLine);
      } else if ((child.nodeFlags & NODE_THREAT) && child.threatKind <= 2) {
        child.statusFlags |= STATUS_CHECKED_AT_FRONTIER;
        childScore = searchFrontier(&child, 0, -alpha, alphaC, pos->childKillers, childLine);
      } else {
        childScore = quiesceChecks(&child, -alpha, alphaC, pos->childKillers, childLine);
      }
      unmakeMove(&child);
      if (scout && pass == 1 && -childScore > alpha) continue;  // searched again without the scout window
      break;
    }

    int result = -childScore;
    if (childScore < MATE_SCORE) pos->movesTried++;
    if (result > alpha) {
      const Move k0 = readKillers(killers).first;
      if (m != k0 && !(pos->parent && (m == pos->pendingThreat || to == lastTo))) setKillers(killers, m, k0);
      pv[0] = m;
      pv[1] = childLine[0];
      if (result >= beta) {
        if (moveSet(pv[1])) pv[2] = NO_MOVE;
        return result;
      }
      copyLine(pv + 1, childLine, PV_LENGTH - 1);
      if (pos->futilityGap != -MATE_SCORE) pos->futilityGap = result + margin - pos->score;
      alpha = result;
    }
  }

  if (capturesOnly || (alpha != -MATE_SCORE && pos->movesTried > 0)) return alpha;
  return sideInCheck(pos) ? pos->matedScore : 0;
}

namespace {

// The capture search of quiesceChecks once the stand-pat has not cut: kept
// out of line, so that a cut by the stand-pat pays none of its register saves.
__attribute__((noinline)) int captureSearch(Position *pos, int beta, int alpha, Move *killers, Move *pv) {
  const int s = pos->score;
  Board *b = pos->pg;
  const int margin = searchMargin.load(std::memory_order_relaxed);
  pos->futilityGap = margin + alpha - s;

  const int lastTo = realTo(pos->lastMove);
  const KillerPair kp = readKillers(killers);
  // Killers that capture only; the cheap test of the target comes first (the
  // guard entries of the square array answer for any to byte).
  if (moveSet(kp.first) && !threatSet(pos->pendingThreat) && !isEmpty(pieceOn(b, moveToByte(kp.second))) &&
      isValidSeed(pos, kp.second))
    pushMove(pos, kp.second);
  if (!isEmpty(pieceOn(b, moveToByte(kp.first))) && isValidSeed(pos, kp.first)) pushMove(pos, kp.first);
  seedRecaptures(pos, lastTo);
  if (threatSet(pos->pendingThreat) && isValidSeed(pos, pos->pendingThreat)) pushMove(pos, pos->pendingThreat);

  // Captures only: the picker stops after its capture stage.
  const int savedFlags = pos->nodeFlags;
  pos->nodeFlags |= NODE_CAPTURES_ONLY;
  PickerMemory seen;
  clearPickerMemory(&seen);
  const bool checked = (savedFlags & NODE_THREAT) && kindAt(pos->threatTarget) == KING && pos->threatKind == 0;
  const int enemyKing = kingSquare(b, pos->opponent);
  Position child;
  initChildRecord(&child, b);
  Move childLine[PV_LENGTH];
  int result = alpha;
  bool cut = false;

  for (;;) {
    Move m = pickMove(pos, &seen);
    if (m == NO_MOVE) break;
    int from = moveFrom(m), to = realTo(m);
    PieceRecord *mover = pieceOn(b, from);
    PieceRecord *target = pieceOn(b, to);
    const bool ep = isEnPassant(pos, mover, to);
    if (!(moveGain(mover, from, to, target) > pos->futilityGap || ep)) continue;

    clearLine(childLine);
    makeMove(pos, m, &child);
    afterMake(pos, &child);
    int childScore;
    if (child.statusFlags & STATUS_RESULT_FIXED) {
      childScore = child.score;
    } else {
      int alphaC = -beta;
      bool settled = false;
      childScore = 0;
      if (beta > 0 && (child.statusFlags & pos->ownPieces->cannotWinMask)) {
        if (alpha >= 0) settled = true;
        else alphaC = 0;
      }
      child.statusFlags &= pos->ownPieces->quiesceMask;
      if (!settled) {
        bool isCapture = !isEmpty(target) || ep;
        if (!(child.statusFlags & (STATUS_WHITE_CAPTURES | STATUS_BLACK_CAPTURES)) || (m == pos->pendingThreat && !(pos->statusFlags & STATUS_CHECKED_AT_FRONTIER))) {
          childScore = quiesce(&child, -alpha, alphaC, nullptr);
        } else if (checked && isCapture && !answersThreat(pos, from, to, ep)) {
          childScore = MATE_SCORE;  // leaves the king in check
        } else {
          if (checkedKingSquare(mover, to, child.allBits, enemyKing) != NO_SQUARE)
            childScore = quiesce(&child, -alpha, alphaC, nullptr);
          else
            childScore = quiesceChecks(&child, -alpha, alphaC, pos->childKillers, childLine);
        }
      }
    }
    unmakeMove(&child);

    int r = -childScore;
    if (r > alpha) {
      const Move k0 = readKillers(killers).first;
      if (m != k0 && m != pos->pendingThreat && to != lastTo) setKillers(killers, m, k0);
      pv[0] = m;
      pv[1] = childLine[0];
      if (moveSet(pv[1])) pv[2] = NO_MOVE;
      if (r >= beta) {
        result = r;
        cut = true;
        break;
      }
      pos->futilityGap = r + margin - s;
      alpha = r;
    }
  }
  pos->nodeFlags = savedFlags;
  return cut ? result : alpha;
}

}  // namespace

int quiesceChecks(Position *pos, int beta, int alpha, Move *killers, Move *pv) {
  const int s = pos->score;
  if (alpha < s) {
    if (s >= beta) return s;
    alpha = s;
  }
  return captureSearch(pos, beta, alpha, killers, pv);
}

namespace {

// The exchange on c (the victim's value v) once the quick exits of quiesce
// have not answered: out of line, so that they pay none of its register saves.
__attribute__((noinline)) int countExchange(Position *pos, int beta, int alpha, Move *moveOut, int c, int v) {
  const int s = pos->score;
  Board *b = pos->pg;
  // Only the first man on each line through c and the men on its knight
  // squares attack c directly; without such an attacker of the side to move
  // the exchange never starts.
  const int c64 = sq88To64[c];
  const uint64_t firstMen = attackerSquares(c, pos->allBits) & pos->allBits;
  uint64_t directSquares = 0;
  const uint64_t directOwn = geometricAttackerRecords(b, firstMen & pos->ownBits, c, &directSquares);
  if (!directOwn) return alpha;
  const uint64_t directEnemy = geometricAttackerRecords(b, firstMen & pos->enemyBits, c, &directSquares);
  // The only other men that take part: the ones right behind a direct
  // attacker on its line (x-ray attackers), with that attacker lifted.
  const uint64_t behind = queenAttacks(c64, pos->allBits & ~directSquares) & pos->allBits & ~firstMen;

  // Attacker lists: [0] the side to move, [1] the opponent, in piece-list order.
  struct Attacker {
    int square, value, gain, blockerSquare;
    uint32_t bit, blockBit;
  };
  Attacker list[2][16];
  int count[2] = {0, 0};
  const uint64_t xrayOwn = geometricAttackerRecords(b, behind & pos->ownBits, c);
  const uint64_t xrayEnemy = geometricAttackerRecords(b, behind & pos->enemyBits, c);
  const uint64_t sideRecords[2] = {directOwn | xrayOwn, directEnemy | xrayEnemy};
  const int colours[2] = {pos->side, pos->opponent};
  for (int side = 0; side < 2; side++) {
    for (uint64_t records = sideRecords[side]; records && count[side] < 16;) {
      const PieceRecord *p = takeInListOrder(b, &records, colours[side]);
      int sq = p->square;
      // an x-ray attacker's blocker: the direct attacker between it and c
      int blocker = -1;
      if (bitOf88(sq) & behind) {
        uint64_t between = squaresBetween(sq, c) & pos->allBits;
        blocker = sq64To88[lowestBit(between)];
      }
      const int16_t *table = p->kind->squareTable;
      Attacker &a = list[side][count[side]];
      a.square = sq;
      a.value = p->value;
      a.gain = table[c] - table[sq];
      a.blockerSquare = blocker;
      a.bit = 1u << (side * 16 + count[side]);
      a.blockBit = 0;
      count[side]++;
    }
  }
  // An x-ray attacker joins once the piece in front of it has captured (most
  // exchanges have none).
  for (int side = 0; side < 2 && (xrayOwn | xrayEnemy); side++)
    for (int i = 0; i < count[side]; i++) {
      Attacker &a = list[side][i];
      if (a.blockerSquare < 0) continue;
      for (int s2 = 0; s2 < 2 && !a.blockBit; s2++)
        for (int j = 0; j < count[s2]; j++)
          if (list[s2][j].square == a.blockerSquare) {
            a.blockBit = list[s2][j].bit;
            break;
          }
    }

  uint32_t used = 0;
  int x = s + v;
  int h = s;
  Move first = NO_MOVE;
  for (int i = 0;; i++) {
    int side = i & 1;
    Attacker *best = nullptr;
    for (int j = 0; j < count[side]; j++) {
      Attacker *a = &list[side][j];
      if (used & a->bit) continue;
      if (a->blockBit && !(used & a->blockBit)) continue;
      if (!best || a->value < best->value) best = a;
    }
    if (!best) break;
    used |= best->bit;
    if (side == 0) {
      if (i == 0) first = makeMoveWord(best->square, c);
      int y = x + best->gain;
      h = y;
      if (y < beta) {
        if (y <= alpha) return alpha;
        beta = y;
      }
      x -= best->value;
    } else {
      int y = x - best->gain;
      h = y;
      if (y > alpha) {
        if (moveOut) *moveOut = first;
        if (y >= beta) return beta;
        alpha = y;
      }
      x += best->value;
    }
  }
  if (h <= alpha) return alpha;
  if (moveOut) *moveOut = first;
  return std::min(h, beta);
}

}  // namespace

int quiesce(Position *pos, int beta, int alpha, Move *moveOut) {
  const int s = pos->score;
  if (alpha < s) {
    if (s >= beta) return s;
    alpha = s;
  }
  const int c = realTo(pos->lastMove);
  if (!onBoard(c)) return alpha;  // no last move (root, null move): nothing to count
  const PieceRecord *victim = pieceOn(pos->pg, c);
  if (isEmpty(victim)) return alpha;
  const int v = victim->value;
  if (pos->pg->tempo + alpha - s - v > 13) return alpha;
  if (!(couldAttack[sq88To64[c]] & pos->ownBits)) return alpha;  // no man of its own on a line or knight square
  return countExchange(pos, beta, alpha, moveOut, c, v);
}
