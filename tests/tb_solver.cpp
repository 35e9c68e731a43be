// Retrograde solver: every position of an endgame is numbered, the mates are
// found, and the results are spread backwards ply by ply through un-moves.
// A position whose side to move is lost waits in a counter of its in-table
// moves not yet known to lose; captures and promotions are looked up in the
// already-solved smaller endgame.
#include "tests/tb_solver.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// Piece kinds of the solver's men; letters in signature text.
enum SolverPiece { PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING, PIECE_KINDS };
const char PIECE_LETTERS[PIECE_KINDS + 1] = "pnbrqk";
const int PROMOTION_PIECES[] = {KNIGHT, BISHOP, ROOK, QUEEN};
constexpr int PROMOTION_KINDS = 4;

constexpr int SQUARES = 64;
constexpr int SQUARE_BITS = 6;       // one square per six bits of an entry index
constexpr int SQUARE_MASK = 63;
constexpr int MIRROR_RANKS = 56;     // sq ^ 56: the same file, rank 8 - rank
constexpr int SIDE_WHITE = 0;  // side to move in an index: 0 White, 1 Black
constexpr int SIDE_BLACK = 1;
constexpr int SYMMETRIES = 8;
constexpr int TRIANGLE_SQUARES = 10;  // a1-d1-d4: the white king's squares in a pawnless table
constexpr int DIRECTIONS = 8;         // 0..3 along ranks and files, 4..7 along diagonals
constexpr int MAX_TABLES = 24;
constexpr int MAX_PLY = 250;  // longest distance the 8-bit values can hold, in plies

// Stored value of an entry: the value scale of the header, with two markers.
constexpr int8_t VALUE_ILLEGAL = INT8_MIN;  // impossible, or a duplicate of a symmetric entry
constexpr int8_t VALUE_PENDING = INT8_MAX;  // not yet resolved (a draw once solving ends)

// A queued entry with this bit is a candidate found through a capture or
// promotion: it counts only if nothing resolved the entry earlier.
constexpr uint32_t CANDIDATE_BIT = 0x80000000u;

// Bitboard of one square.
inline uint64_t bit(int sq) { return 1ULL << sq; }
inline int fileOf(int sq) { return sq & 7; }
inline int rankOf(int sq) { return sq >> 3; }

// ---- geometry: the solver's own move tables --------------------------------

uint64_t kingTargets[SQUARES];
uint64_t knightTargets[SQUARES];
uint64_t pawnCaptureTargets[2][SQUARES];  // [0] White's pawn, [1] Black's
uint64_t betweenMask[SQUARES][SQUARES];    // squares strictly between two aligned squares
uint8_t lineKind[SQUARES][SQUARES];        // LINE_NONE, LINE_STRAIGHT or LINE_DIAGONAL
int8_t rayLength[SQUARES][DIRECTIONS];
int8_t raySquare[SQUARES][DIRECTIONS][7];  // squares outward from a square, nearest first
int8_t squareTransform[SYMMETRIES][SQUARES];
int8_t triangleSlot[SQUARES];              // slot 0..9 inside a1-d1-d4, else -1
int8_t triangleSquare[TRIANGLE_SQUARES];
int8_t kingTransforms[SQUARES][2];         // symmetries that bring a square into a1-d1-d4
int8_t kingTransformCount[SQUARES];
bool geometryReady = false;

enum LineKind { LINE_NONE, LINE_STRAIGHT, LINE_DIAGONAL };
const int DIRECTION_FILE[DIRECTIONS] = {1, -1, 0, 0, 1, 1, -1, -1};
const int DIRECTION_RANK[DIRECTIONS] = {0, 0, 1, -1, 1, -1, 1, -1};
const int KNIGHT_FILE[8] = {1, 2, 2, 1, -1, -2, -2, -1};
const int KNIGHT_RANK[8] = {2, 1, -1, -2, -2, -1, 1, 2};

inline bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

void buildGeometry() {
  if (geometryReady) return;
  for (int sq = 0; sq < SQUARES; sq++) {
    int f = fileOf(sq), r = rankOf(sq);
    for (int d = 0; d < DIRECTIONS; d++) {
      int ff = f + DIRECTION_FILE[d], rr = r + DIRECTION_RANK[d];
      if (onBoard(ff, rr)) kingTargets[sq] |= bit(rr * 8 + ff);
      uint64_t passed = 0;
      int n = 0;
      for (; onBoard(ff, rr); ff += DIRECTION_FILE[d], rr += DIRECTION_RANK[d]) {
        int to = rr * 8 + ff;
        raySquare[sq][d][n++] = (int8_t)to;
        betweenMask[sq][to] = passed;
        lineKind[sq][to] = d < 4 ? LINE_STRAIGHT : LINE_DIAGONAL;
        passed |= bit(to);
      }
      rayLength[sq][d] = (int8_t)n;
    }
    for (int k = 0; k < 8; k++)
      if (onBoard(f + KNIGHT_FILE[k], r + KNIGHT_RANK[k]))
        knightTargets[sq] |= bit((r + KNIGHT_RANK[k]) * 8 + f + KNIGHT_FILE[k]);
    for (int df = -1; df <= 1; df += 2) {
      if (onBoard(f + df, r + 1)) pawnCaptureTargets[0][sq] |= bit((r + 1) * 8 + f + df);
      if (onBoard(f + df, r - 1)) pawnCaptureTargets[1][sq] |= bit((r - 1) * 8 + f + df);
    }
    // symmetry t: bit 2 swaps file and rank, bit 0 mirrors the file, bit 1 the rank
    for (int t = 0; t < SYMMETRIES; t++) {
      int tf = (t & 4) ? r : f, tr = (t & 4) ? f : r;
      if (t & 1) tf = 7 - tf;
      if (t & 2) tr = 7 - tr;
      squareTransform[t][sq] = (int8_t)(tr * 8 + tf);
    }
  }
  int slots = 0;
  for (int sq = 0; sq < SQUARES; sq++) {
    bool inside = fileOf(sq) <= 3 && rankOf(sq) <= fileOf(sq);
    triangleSlot[sq] = inside ? (int8_t)slots : (int8_t)-1;
    if (inside) triangleSquare[slots++] = (int8_t)sq;
  }
  assert(slots == TRIANGLE_SQUARES);
  for (int sq = 0; sq < SQUARES; sq++)
    for (int t = 0; t < SYMMETRIES; t++)
      if (triangleSlot[squareTransform[t][sq]] >= 0)
        kingTransforms[sq][kingTransformCount[sq]++] = (int8_t)t;
  geometryReady = true;
}

}  // namespace

// ---- tables ------------------------------------------------------------------

// One man of a table: its piece kind and colour.
struct SolverMan {
  int piece;
  bool white;
};

// Where a capture and/or promotion leads: the smaller table, whether it is
// read with colours reversed (board mirrored top to bottom), and the slot in
// it of each remaining man (-1 for the captured one).
struct SolverConversion {
  const SolverTable *table;
  bool flip;
  int slot[SOLVER_MAX_MEN];
};

// A solved endgame. Entry numbering: men 0 (White's king) .. menCount-1 in
// signature order; index = ((side * kingSlots + king slot) << 6 (menCount-1))
// + the other men's squares, man 1 in the highest six bits. Pawnless tables
// keep only the White king's ten squares a1-d1-d4 (symmetric positions map
// there; of two images that both do, the lower index is kept and the other
// marked illegal); tables with a pawn keep all 64.
struct SolverTable {
  char signature[SOLVER_MAX_MEN + 1];
  int menCount;
  int whiteCount;
  SolverMan men[SOLVER_MAX_MEN];
  bool symmetric;
  int kingSlots;
  uint32_t entryCount;
  std::vector<int8_t> values;
  SolverConversion capture[SOLVER_MAX_MEN];                  // [captured man]
  SolverConversion promotion[SOLVER_MAX_MEN][PROMOTION_KINDS];  // [pawn][new piece]
  SolverConversion capturePromotion[SOLVER_MAX_MEN][SOLVER_MAX_MEN][PROMOTION_KINDS];
};

namespace {

SolverTable solverTables[MAX_TABLES];
int solverTableCount = 0;

inline int kingMan(const SolverTable *t, bool white) { return white ? 0 : t->whiteCount; }

inline uint32_t storageIndex(const SolverTable *t, const int *sq, int side) {
  int slot = t->symmetric ? triangleSlot[sq[0]] : sq[0];
  assert(slot >= 0);
  uint32_t idx = (uint32_t)(side * t->kingSlots + slot);
  for (int i = 1; i < t->menCount; i++) idx = (idx << SQUARE_BITS) | (uint32_t)sq[i];
  return idx;
}

void decodeIndex(const SolverTable *t, uint32_t idx, int *sq, int *side) {
  assert(idx < t->entryCount && sq && side);
  for (int i = t->menCount - 1; i >= 1; i--) {
    sq[i] = (int)(idx & SQUARE_MASK);
    idx >>= SQUARE_BITS;
  }
  int slot = (int)(idx % (uint32_t)t->kingSlots);
  *side = (int)(idx / (uint32_t)t->kingSlots);
  sq[0] = t->symmetric ? triangleSquare[slot] : slot;
}

// The entry that holds a position (any of its symmetric images).
uint32_t canonicalIndex(const SolverTable *t, const int *sq, int side) {
  assert(t && sq && sq[0] >= 0 && sq[0] < SQUARES);
  if (!t->symmetric) return storageIndex(t, sq, side);
  uint32_t best = UINT32_MAX;
  for (int k = 0; k < kingTransformCount[sq[0]]; k++) {
    const int8_t *map = squareTransform[kingTransforms[sq[0]][k]];
    int image[SOLVER_MAX_MEN] = {};
    for (int i = 0; i < t->menCount; i++) image[i] = map[sq[i]];
    best = std::min(best, storageIndex(t, image, side));
  }
  return best;
}

uint64_t occupancy(const SolverTable *t, const int *sq, bool white) {
  uint64_t occ = 0;
  for (int i = 0; i < t->menCount; i++)
    if (t->men[i].white == white) occ |= bit(sq[i]);
  return occ;
}

bool pieceAttacks(int piece, bool white, int from, int target, uint64_t occ) {
  switch (piece) {
    case PAWN: return (pawnCaptureTargets[white ? 0 : 1][from] & bit(target)) != 0;
    case KNIGHT: return (knightTargets[from] & bit(target)) != 0;
    case KING: return (kingTargets[from] & bit(target)) != 0;
    default: break;
  }
  int line = lineKind[from][target];
  bool slides = (line == LINE_STRAIGHT && (piece == ROOK || piece == QUEEN)) ||
                (line == LINE_DIAGONAL && (piece == BISHOP || piece == QUEEN));
  return slides && (betweenMask[from][target] & occ) == 0;
}

// Whether a man of the given colour (other than skipMan) attacks target.
bool attackedBy(const SolverTable *t, const int *sq, uint64_t occ, int target, bool white,
                int skipMan) {
  for (int i = 0; i < t->menCount; i++)
    if (i != skipMan && t->men[i].white == white &&
        pieceAttacks(t->men[i].piece, white, sq[i], target, occ))
      return true;
  return false;
}

bool positionLegal(const SolverTable *t, const int *sq, int side) {
  uint64_t occ = 0;
  for (int i = 0; i < t->menCount; i++) {
    if (sq[i] < 0 || sq[i] >= SQUARES || (occ & bit(sq[i]))) return false;
    occ |= bit(sq[i]);
    if (t->men[i].piece == PAWN && (rankOf(sq[i]) == 0 || rankOf(sq[i]) == 7)) return false;
  }
  bool moverWhite = side == SIDE_WHITE;
  return !attackedBy(t, sq, occ, sq[kingMan(t, !moverWhite)], moverWhite, -1);
}

bool sideInCheck(const SolverTable *t, const int *sq, int side) {
  bool white = side == SIDE_WHITE;
  uint64_t occ = occupancy(t, sq, true) | occupancy(t, sq, false);
  return attackedBy(t, sq, occ, sq[kingMan(t, white)], !white, -1);
}

// Squares a man reaches from its square: forward (captures included, own men
// excluded) or, for un-moves, only empty squares. Pawns are handled apart.
uint64_t pieceTargets(int piece, int from, uint64_t own, uint64_t occ, bool emptyOnly) {
  uint64_t blocked = emptyOnly ? occ : own;
  if (piece == KING) return kingTargets[from] & ~blocked;
  if (piece == KNIGHT) return knightTargets[from] & ~blocked;
  int first = piece == BISHOP ? 4 : 0, last = piece == ROOK ? 4 : DIRECTIONS;
  uint64_t targets = 0;
  for (int d = first; d < last; d++)
    for (int k = 0; k < rayLength[from][d]; k++) {
      int to = raySquare[from][d][k];
      if (bit(to) & blocked) break;
      targets |= bit(to);
      if (bit(to) & occ) break;
    }
  return targets;
}

// Forward pawn targets: pushes (double from the start rank) and captures.
uint64_t pawnTargets(bool white, int from, uint64_t enemy, uint64_t occ) {
  int step = white ? 8 : -8, startRank = white ? 1 : 6;
  uint64_t targets = pawnCaptureTargets[white ? 0 : 1][from] & enemy;
  int one = from + step;
  if (!(occ & bit(one))) {
    targets |= bit(one);
    if (rankOf(from) == startRank && !(occ & bit(one + step))) targets |= bit(one + step);
  }
  return targets;
}

// Squares a pawn standing on `at` can have come from by a push.
uint64_t pawnOrigins(bool white, int at, uint64_t occ) {
  int step = white ? -8 : 8, rank = rankOf(at);
  int firstRank = white ? 1 : 6, doubleRank = white ? 3 : 4;
  uint64_t origins = 0;
  int one = at + step;
  if (rank != firstRank && !(occ & bit(one))) {
    origins |= bit(one);
    if (rank == doubleRank && !(occ & bit(one + step))) origins |= bit(one + step);
  }
  return origins;
}

// Value of a position after a capture and/or promotion, from the smaller table.
int conversionValue(const SolverConversion *c, const SolverTable *t, const int *sq, int side) {
  int subSq[SOLVER_MAX_MEN];
  for (int i = 0; i < t->menCount; i++)
    if (c->slot[i] >= 0) subSq[c->slot[i]] = c->flip ? (sq[i] ^ MIRROR_RANKS) : sq[i];
  int subSide = c->flip ? 1 - side : side;
  return c->table->values[canonicalIndex(c->table, subSq, subSide)];
}

// A legal move's result: its stored value and, for a move inside the table,
// its entry (UINT32_MAX after a capture or promotion).
struct SolverChild {
  int value;
  uint32_t index;
};

// Every legal move of a position (side to move `side`).
int generateChildren(const SolverTable *t, const int *sq, int side, SolverChild *out) {
  assert(t && sq && out && (side == SIDE_WHITE || side == SIDE_BLACK));
  bool white = side == SIDE_WHITE;
  uint64_t own = occupancy(t, sq, white), enemy = occupancy(t, sq, !white), occ = own | enemy;
  int n = 0;
  for (int i = 0; i < t->menCount; i++) {
    if (t->men[i].white != white) continue;
    int piece = t->men[i].piece;
    uint64_t targets = piece == PAWN ? pawnTargets(white, sq[i], enemy, occ)
                                     : pieceTargets(piece, sq[i], own, occ, false);
    for (; targets; targets &= targets - 1) {
      int to = __builtin_ctzll(targets);
      int captured = -1;
      for (int j = 0; j < t->menCount; j++)
        if (j != i && sq[j] == to) captured = j;
      assert(captured != kingMan(t, !white));
      int child[SOLVER_MAX_MEN];
      std::memcpy(child, sq, sizeof(int) * (size_t)t->menCount);
      child[i] = to;
      bool promotes = piece == PAWN && rankOf(to) == (white ? 7 : 0);
      int kinds = promotes ? PROMOTION_KINDS : 1;
      for (int p = 0; p < kinds; p++) {
        int v;
        uint32_t idx = UINT32_MAX;
        if (captured < 0 && !promotes) {
          idx = canonicalIndex(t, child, 1 - side);
          v = t->values[idx];
        } else {
          const SolverConversion *c = !promotes      ? &t->capture[captured]
                                      : captured < 0 ? &t->promotion[i][p]
                                                     : &t->capturePromotion[i][captured][p];
          v = conversionValue(c, t, child, 1 - side);
        }
        if (v == VALUE_ILLEGAL) continue;
        assert(n < SOLVER_MAX_CHILDREN);
        out[n++] = {v, idx};
      }
    }
  }
  return n;
}

// Entries of the positions one un-move before this one (the side not to move
// takes back a quiet move), each once.
int generateParents(const SolverTable *t, const int *sq, int side, uint32_t *out) {
  assert(t && sq && out && (side == SIDE_WHITE || side == SIDE_BLACK));
  bool white = side == SIDE_BLACK;  // the side that has just moved
  uint64_t own = occupancy(t, sq, white), occ = own | occupancy(t, sq, !white);
  int n = 0;
  for (int i = 0; i < t->menCount; i++) {
    if (t->men[i].white != white) continue;
    int piece = t->men[i].piece;
    uint64_t origins = piece == PAWN ? pawnOrigins(white, sq[i], occ)
                                     : pieceTargets(piece, sq[i], own, occ, true);
    for (; origins; origins &= origins - 1) {
      int parent[SOLVER_MAX_MEN];
      std::memcpy(parent, sq, sizeof(int) * (size_t)t->menCount);
      parent[i] = __builtin_ctzll(origins);
      assert(n < SOLVER_MAX_CHILDREN);
      out[n++] = canonicalIndex(t, parent, 1 - side);
    }
  }
  std::sort(out, out + n);
  return (int)(std::unique(out, out + n) - out);
}

// The mover's value of a move whose resulting position has value c.
inline int moverValue(int c) { return c < 0 ? -c : c > 0 ? -(c + 1) : 0; }
// Orders values for the mover: shorter wins first, then draws, then longer losses.
constexpr int PREFERENCE_SPAN = 1000;  // beyond any distance
inline int preference(int v) { return v > 0 ? PREFERENCE_SPAN - v : v < 0 ? -PREFERENCE_SPAN - v : 0; }
inline int plyOf(int v) { return v > 0 ? 2 * v - 1 : -2 * v - 2; }
inline int valueOfPly(int ply) { return (ply & 1) ? (ply + 1) / 2 : -(ply / 2 + 1); }

// Best value over the given moves (a pending result counts as a draw).
int bestValue(const SolverChild *children, int n) {
  int best = INT_MIN;
  for (int k = 0; k < n; k++) {
    int c = children[k].value == VALUE_PENDING ? 0 : children[k].value;
    int v = moverValue(c);
    if (best == INT_MIN || preference(v) > preference(best)) best = v;
  }
  return best;
}

// ---- solving -------------------------------------------------------------------

struct SolveState {
  SolverTable *table;
  std::vector<uint8_t> pendingMoves;  // in-table moves not yet known to lose for the mover
  std::vector<std::vector<uint32_t>> queue;  // entries resolved (or candidates) per ply
};

void markLegalEntries(SolverTable *t) {
  for (uint32_t idx = 0; idx < t->entryCount; idx++) {
    int sq[SOLVER_MAX_MEN], side;
    decodeIndex(t, idx, sq, &side);
    bool keep = positionLegal(t, sq, side) && canonicalIndex(t, sq, side) == idx;
    t->values[idx] = keep ? VALUE_PENDING : VALUE_ILLEGAL;
  }
}

void queueEntry(SolveState *s, uint32_t idx, int ply, bool candidate) {
  assert(ply <= MAX_PLY);
  if (!candidate) s->table->values[idx] = (int8_t)valueOfPly(ply);
  s->queue[(size_t)ply].push_back(candidate ? (idx | CANDIDATE_BIT) : idx);
}

// Counts each position's in-table moves and queues the mates and the results
// that captures and promotions decide.
void seedEntries(SolveState *s) {
  SolverTable *t = s->table;
  SolverChild children[SOLVER_MAX_CHILDREN];
  uint32_t distinct[SOLVER_MAX_CHILDREN];
  for (uint32_t idx = 0; idx < t->entryCount; idx++) {
    if (t->values[idx] == VALUE_ILLEGAL) continue;
    int sq[SOLVER_MAX_MEN], side;
    decodeIndex(t, idx, sq, &side);
    int n = generateChildren(t, sq, side, children);
    if (n == 0) {
      if (sideInCheck(t, sq, side)) queueEntry(s, idx, 0, false);  // checkmate; else stalemate: draw
      continue;
    }
    int inTable = 0, bestConversion = INT_MIN;
    SolverChild conversions[SOLVER_MAX_CHILDREN];
    int conversionCount = 0;
    for (int k = 0; k < n; k++) {
      if (children[k].index != UINT32_MAX) distinct[inTable++] = children[k].index;
      else conversions[conversionCount++] = children[k];
    }
    std::sort(distinct, distinct + inTable);
    inTable = (int)(std::unique(distinct, distinct + inTable) - distinct);
    s->pendingMoves[idx] = (uint8_t)inTable;
    if (conversionCount == 0) continue;
    bestConversion = bestValue(conversions, conversionCount);
    // all moves leave the table: the value is known; else only a win is certain
    if (inTable == 0 ? bestConversion != 0 : bestConversion > 0)
      queueEntry(s, idx, plyOf(bestConversion), true);
  }
}

// Spreads one resolved entry to the positions before it.
void expandEntry(SolveState *s, uint32_t idx, int ply) {
  SolverTable *t = s->table;
  int sq[SOLVER_MAX_MEN], side;
  decodeIndex(t, idx, sq, &side);
  uint32_t parents[SOLVER_MAX_CHILDREN];
  int n = generateParents(t, sq, side, parents);
  for (int k = 0; k < n; k++) {
    uint32_t p = parents[k];
    if (t->values[p] != VALUE_PENDING) continue;
    if ((ply & 1) == 0) {  // this side is lost: the parent's mover wins one ply later
      queueEntry(s, p, ply + 1, false);
    } else if (--s->pendingMoves[p] == 0) {  // every in-table move loses
      int psq[SOLVER_MAX_MEN], pside;
      decodeIndex(t, p, psq, &pside);
      SolverChild children[SOLVER_MAX_CHILDREN];
      int v = bestValue(children, generateChildren(t, psq, pside, children));
      if (v < 0) {
        assert(plyOf(v) > ply);
        queueEntry(s, p, plyOf(v), false);
      }
    }
  }
}

void solveEntries(SolverTable *t) {
  SolveState s;
  s.table = t;
  s.pendingMoves.assign(t->entryCount, 0);
  s.queue.resize(MAX_PLY + 1);
  markLegalEntries(t);
  seedEntries(&s);
  for (int ply = 0; ply <= MAX_PLY; ply++) {
    // entries queued at this ply come only from earlier plies
    for (size_t k = 0; k < s.queue[(size_t)ply].size(); k++) {
      uint32_t entry = s.queue[(size_t)ply][k], idx = entry & ~CANDIDATE_BIT;
      if (entry & CANDIDATE_BIT) {
        if (t->values[idx] != VALUE_PENDING) continue;
        t->values[idx] = (int8_t)valueOfPly(ply);
      }
      expandEntry(&s, idx, ply);
    }
    std::vector<uint32_t>().swap(s.queue[(size_t)ply]);
  }
  for (int8_t &v : t->values)
    if (v == VALUE_PENDING) v = 0;
}

// ---- signatures and conversions ---------------------------------------------------

int pieceOfLetter(char c) {
  const char *p = std::strchr(PIECE_LETTERS, c);
  return (c != 0 && p) ? (int)(p - PIECE_LETTERS) : -1;
}

// Parses a signature into men; false when outside the solver's range.
bool parseSignature(const char *signature, SolverMan *men, int *menCount, int *whiteCount) {
  size_t len = std::strlen(signature);
  if (len < 2 || len > SOLVER_MAX_MEN || signature[0] != 'k') return false;
  int kings = 0, whitePawns = 0, blackPawns = 0;
  for (size_t i = 0; i < len; i++) {
    int piece = pieceOfLetter(signature[i]);
    if (piece < 0) return false;
    if (piece == KING && ++kings == 2) *whiteCount = (int)i;
    bool white = kings == 1;
    if (piece == PAWN) (white ? whitePawns : blackPawns)++;
    men[i] = {piece, white};
  }
  *menCount = (int)len;
  // pawns of both colours would bring en passant, which the solver leaves out
  return kings == 2 && signature[*whiteCount] == 'k' && !(whitePawns && blackPawns);
}

// The smaller table a capture and/or promotion leads to, read with White as
// the side with the stronger men (colours reversed when Black has them).
SolverConversion makeConversion(const SolverTable *t, int captured, int promoted, int newPiece) {
  SolverConversion c{};
  int pieces[2][SOLVER_MAX_MEN], counts[2] = {0, 0};
  for (int i = 0; i < t->menCount; i++) {
    if (i == captured || t->men[i].piece == KING) continue;
    int side = t->men[i].white ? 0 : 1;
    pieces[side][counts[side]++] = i == promoted ? newPiece : t->men[i].piece;
  }
  for (int side = 0; side < 2; side++) std::sort(pieces[side], pieces[side] + counts[side], std::greater<int>());
  c.flip = counts[1] > counts[0] ||
           (counts[1] == counts[0] &&
            std::lexicographical_compare(pieces[0], pieces[0] + counts[0], pieces[1], pieces[1] + counts[1]));
  int first = c.flip ? 1 : 0;
  char signature[SOLVER_MAX_MEN + 1];
  int len = 0;
  for (int side = first, pass = 0; pass < 2; pass++, side = 1 - side) {
    signature[len++] = 'k';
    for (int k = 0; k < counts[side]; k++) signature[len++] = PIECE_LETTERS[pieces[side][k]];
  }
  signature[len] = 0;
  c.table = solveTable(signature);
  assert(c.table);
  bool taken[SOLVER_MAX_MEN] = {};
  for (int i = 0; i < t->menCount; i++) {
    c.slot[i] = -1;
    if (i == captured) continue;
    int piece = i == promoted ? newPiece : t->men[i].piece;
    bool white = t->men[i].white != c.flip;
    for (int j = 0; j < c.table->menCount; j++)
      if (!taken[j] && c.table->men[j].piece == piece && c.table->men[j].white == white) {
        taken[j] = true;
        c.slot[i] = j;
        break;
      }
    assert(c.slot[i] >= 0);
  }
  return c;
}

void prepareConversions(SolverTable *t) {
  for (int i = 0; i < t->menCount; i++) {
    if (t->men[i].piece != KING) t->capture[i] = makeConversion(t, i, -1, -1);
    if (t->men[i].piece != PAWN) continue;
    for (int p = 0; p < PROMOTION_KINDS; p++) {
      t->promotion[i][p] = makeConversion(t, -1, i, PROMOTION_PIECES[p]);
      for (int j = 0; j < t->menCount; j++)
        if (t->men[j].white != t->men[i].white && t->men[j].piece != KING)
          t->capturePromotion[i][j][p] = makeConversion(t, j, i, PROMOTION_PIECES[p]);
    }
  }
}

}  // namespace

const SolverTable *solveTable(const char *signature) {
  assert(signature);
  buildGeometry();
  for (int k = 0; k < solverTableCount; k++)
    if (std::strcmp(solverTables[k].signature, signature) == 0) return &solverTables[k];
  SolverMan men[SOLVER_MAX_MEN];
  int menCount = 0, whiteCount = 0;
  if (!parseSignature(signature, men, &menCount, &whiteCount)) return nullptr;
  assert(solverTableCount < MAX_TABLES);
  SolverTable *t = &solverTables[solverTableCount++];
  std::strcpy(t->signature, signature);
  t->menCount = menCount;
  t->whiteCount = whiteCount;
  std::copy(men, men + menCount, t->men);
  t->symmetric = std::none_of(men, men + menCount, [](const SolverMan &m) { return m.piece == PAWN; });
  t->kingSlots = t->symmetric ? TRIANGLE_SQUARES : SQUARES;
  t->entryCount = (uint32_t)(2 * t->kingSlots) << (SQUARE_BITS * (menCount - 1));
  t->values.assign(t->entryCount, VALUE_PENDING);
  prepareConversions(t);
  solveEntries(t);
  return t;
}

namespace {

// The table's man order from the two square arrays; false when out of range.
bool gatherSquares(const SolverTable *t, const int *whiteSquares, const int *blackSquares, int *sq) {
  for (int i = 0; i < t->menCount; i++) {
    sq[i] = i < t->whiteCount ? whiteSquares[i] : blackSquares[i - t->whiteCount];
    if (sq[i] < 0 || sq[i] >= SQUARES) return false;
  }
  return true;
}

}  // namespace

int solverValue(const SolverTable *table, const int *whiteSquares, const int *blackSquares,
                bool whiteToMove) {
  assert(table && whiteSquares && blackSquares);
  int sq[SOLVER_MAX_MEN] = {};
  if (!gatherSquares(table, whiteSquares, blackSquares, sq)) return SOLVER_ILLEGAL;
  int v = table->values[canonicalIndex(table, sq, whiteToMove ? SIDE_WHITE : SIDE_BLACK)];
  return v == VALUE_ILLEGAL ? SOLVER_ILLEGAL : v;
}

int solverChildValues(const SolverTable *table, const int *whiteSquares, const int *blackSquares,
                      bool whiteToMove, int *childValues) {
  assert(table && whiteSquares && blackSquares && childValues);
  if (solverValue(table, whiteSquares, blackSquares, whiteToMove) == SOLVER_ILLEGAL) return -1;
  int sq[SOLVER_MAX_MEN] = {};
  gatherSquares(table, whiteSquares, blackSquares, sq);
  SolverChild children[SOLVER_MAX_CHILDREN];
  int n = generateChildren(table, sq, whiteToMove ? SIDE_WHITE : SIDE_BLACK, children);
  for (int k = 0; k < n; k++) childValues[k] = children[k].value;
  return n;
}

int solverSideMen(const SolverTable *table, bool white) {
  assert(table);
  return white ? table->whiteCount : table->menCount - table->whiteCount;
}

int solverEntryByte(int value) {
  if (value == 0) return 0;
  if (value >= 1 && value <= 126) return 127 - value;
  if (value == 127) return -128;
  if (value <= -2 && value >= -127) return -128 - value;
  if (value == -128) return -127;
  return SOLVER_BYTE_UNKNOWN;
}

int solverEntryWord(int value) {
  if (value == 0) return 0;
  if (value >= 1 && value <= 32766) return 32767 - value;
  if (value <= -1 && value >= -32767) return -32768 - value;
  return SOLVER_WORD_UNKNOWN;
}
