// Position preparation: weights from the settings, the phase by material,
// the hanging-piece rule, hand-computed builder steps, colour mirroring,
// incremental against fresh scores, and random positions (run under the
// sanitizers: the king-zone writes near the board edge must stay inside).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"
#include "engine/eval/builders/prepare_attack.h"
#include "engine/eval/builders/prepare_data.h"
#include "engine/eval/builders/prepare_end.h"
#include "engine/eval/builders/prepare_middle.h"
#include "engine/eval/builders/prepare_pawns.h"
#include "engine/eval/builders/prepare_steps.h"
#include "engine/eval/prepare.h"
#include "engine/eval/save_slots.h"
#include "engine/eval/settings.h"
#include "engine/eval/weights.h"
#include "engine/search/hash.h"
#include "engine/search/ordering/picker.h"
#include "platform/platform.h"

namespace {

enum { WK = 0, WQ, WR, WB, WN, WP, BK, BQ, BR, BB, BN, BP };

int sq(const char *s) { return (s[0] - 'a') + (s[1] - '1') * 16; }

struct PrepareTest : ::testing::Test {
  static void SetUpTestSuite() { initEngineCore(); }
  void SetUp() override { activeSettings = initialSettings; }
  void TearDown() override { activeSettings = initialSettings; }

  static Position *setFen(const char *fen) {
    EXPECT_EQ(parseFen(fen), 0) << fen;
    EXPECT_EQ(setupPosition(&rootPosition, &gameRecord), 0) << fen;
    rootPosition.pg = &gameBoard;
    gameBoard.engineSide = rootPosition.side;
    return &rootPosition;
  }
  // Root preparation as the driver runs it.
  static int prepared(const char *fen) {
    Position *p = setFen(fen);
    prepare(p, 1);
    return p->score;
  }
  static Board *b() { return &gameBoard; }
  static PreparedDataFields &d() { return gameBoard.prepared.data; }
  static int16_t at(int table, const char *s) { return gameBoard.prepared.square[table][sq(s)]; }
};

// ---- FEN mirroring (colours exchanged, board flipped) ----
std::string mirrorFen(const std::string &fen) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start < fen.size()) {
    size_t sp = fen.find(' ', start);
    if (sp == std::string::npos) sp = fen.size();
    fields.push_back(fen.substr(start, sp - start));
    start = sp + 1;
  }
  std::vector<std::string> ranks;
  start = 0;
  const std::string &board = fields[0];
  while (true) {
    size_t sl = board.find('/', start);
    ranks.push_back(board.substr(start, sl == std::string::npos ? std::string::npos : sl - start));
    if (sl == std::string::npos) break;
    start = sl + 1;
  }
  std::string out;
  for (size_t i = ranks.size(); i-- > 0;) {
    for (char c : ranks[i]) out += isupper((unsigned char)c) ? (char)tolower(c) : (char)toupper(c);
    if (i) out += '/';
  }
  out += fields.size() > 1 && (fields[1] == "w" || fields[1] == "W") ? " b" : " w";
  std::string castle = fields.size() > 2 ? fields[2] : "-";
  if (castle != "-") {
    std::string c2;
    for (char c : castle) c2 += isupper((unsigned char)c) ? (char)tolower(c) : (char)toupper(c);
    castle = c2;
  }
  out += " " + castle;
  std::string ep = fields.size() > 3 ? fields[3] : "-";
  if (ep != "-") ep[1] = ep[1] == '3' ? '6' : '3';
  out += " " + ep;
  return out;
}

// ---- random positions ----
// Places kings and the given men at random; returns a FEN whose side not to
// move is not in check (or an empty string after too many tries).
struct Material {
  int pawns[2], knights[2], bishops[2], rooks[2], queens[2];
};

std::string randomFen(Rand15 &r, const Material &m, int side) {
  for (int tries = 0; tries < 200; tries++) {
    char board[64];
    std::memset(board, 0, sizeof board);
    auto place = [&](char c, bool pawn) {
      for (int k = 0; k < 500; k++) {
        int s = r.next() % 64;
        if (pawn && (s < 8 || s >= 56)) continue;
        if (!board[s]) {
          board[s] = c;
          return;
        }
      }
    };
    int wk = r.next() % 64, bk;
    do bk = r.next() % 64;
    while (std::abs((wk & 7) - (bk & 7)) <= 1 && std::abs((wk >> 3) - (bk >> 3)) <= 1);
    board[wk] = 'K';
    board[bk] = 'k';
    for (int c = 0; c < 2; c++) {
      auto up = [c](char x) { return c == 0 ? (char)toupper(x) : x; };
      for (int i = 0; i < m.pawns[c]; i++) place(up('p'), true);
      for (int i = 0; i < m.knights[c]; i++) place(up('n'), false);
      for (int i = 0; i < m.bishops[c]; i++) place(up('b'), false);
      for (int i = 0; i < m.rooks[c]; i++) place(up('r'), false);
      for (int i = 0; i < m.queens[c]; i++) place(up('q'), false);
    }
    std::string fen;
    for (int rank = 7; rank >= 0; rank--) {
      int empty = 0;
      for (int f = 0; f < 8; f++) {
        char c = board[rank * 8 + f];
        if (!c) {
          empty++;
          continue;
        }
        if (empty) fen += (char)('0' + empty), empty = 0;
        fen += c;
      }
      if (empty) fen += (char)('0' + empty);
      if (rank) fen += '/';
    }
    fen += side > 0 ? " w - -" : " b - -";
    if (parseFen(fen.c_str()) != 0 || setupPosition(&rootPosition, &gameRecord) != 0) continue;
    if (kingAttacked(&rootPosition, -rootPosition.side)) continue;
    return fen;
  }
  return "";
}

// Random material: per side pawnsFrom + (0 .. pawnsSpan - 1) pawns, up to two
// knights, bishops and rooks and one queen.
Material randomMaterial(Rand15 &r, int pawnsFrom, int pawnsSpan) {
  Material m{};
  for (int c = 0; c < 2; c++) {
    m.pawns[c] = pawnsFrom + r.next() % pawnsSpan;
    m.knights[c] = r.next() % 3;
    m.bishops[c] = r.next() % 3;
    m.rooks[c] = r.next() % 3;
    m.queens[c] = r.next() % 2;
  }
  return m;
}

// Calls fn(position, fen, generator) for each of `count` random FENs that
// set up (the generator goes on from there); returns how many did.
template <class Fn>
int forRandomPositions(uint32_t seed, int count, Fn fn) {
  Rand15 r{seed};
  int done = 0;
  for (int i = 0; i < count && !::testing::Test::HasFatalFailure(); i++) {
    Material m = randomMaterial(r, 0, 9);
    std::string fen = randomFen(r, m, (i & 1) ? 1 : -1);
    if (fen.empty()) continue;
    fn(PrepareTest::setFen(fen.c_str()), fen, r);
    done++;
  }
  return done;
}

// ======================= weights =======================

// King distance of every pair of board squares: the larger of the file and
// the rank difference.
TEST(KingDistance, LargerOfFileAndRankDifference) {
  for (int a = 0; a < 64; a++)
    for (int b = 0; b < 64; b++) {
      int files = std::abs(a % 8 - b % 8), ranks = std::abs(a / 8 - b / 8);
      ASSERT_EQ(kingDistance(sq64To88[a], sq64To88[b]), std::max(files, ranks)) << a << " " << b;
    }
}

// Closeness by 0x88 difference: cells at the edges and inside of the 15 x 15
// table (row rank difference + 7, column file difference + 7).
TEST(CentreCloseness, CellsByRankAndFileDifference) {
  struct Cell {
    int ranks, files, closeness;
  };
  const Cell cells[] = {{0, 0, 7},   {0, 1, 6},   {-1, 0, 7}, {1, 0, 6},   {0, -1, 7}, {-7, -1, 1},
                        {-7, 0, 1},  {-7, -7, 0}, {-1, -7, 1}, {0, 7, 0},  {3, -4, 2}, {-4, 3, 2},
                        {7, 0, 0},   {6, 0, 1},   {-2, -6, 1}, {2, 5, 0},  {-5, 2, 1}};
  for (const Cell &c : cells)
    EXPECT_EQ(centreCloseness(16 * c.ranks + c.files), c.closeness) << c.ranks << " " << c.files;
}

TEST_F(PrepareTest, DefaultWeightsAndThresholds) {
  prepared(nullptr);
  EXPECT_EQ(b()->kinds[WHITE_PAWN].middlegameValue, 52);
  EXPECT_EQ(b()->kinds[BLACK_QUEEN].endgameValue, 992);
  EXPECT_EQ(b()->kinds[WHITE_KING].middlegameValue, 14000);
  EXPECT_EQ(endgameThreshold, 967);
  EXPECT_EQ(richMaterial, 2429);
  EXPECT_EQ(twoRooksTwoBishops, 1194);
  EXPECT_EQ(rookBishopQueen, 1317);
  EXPECT_EQ(kingCentreThin, 10);
  EXPECT_EQ(pressureBaseDoubled, 2);
  EXPECT_EQ(castleRightsMiddle, 48);
  EXPECT_EQ(attackCentre, 4);
  EXPECT_EQ(attackHit, 5);
  EXPECT_EQ(endPassedProtected, 5);
  EXPECT_EQ(endTargetPawn, 23);
  const int32_t withQueen[8] = {0, 2, 2, 6, 36, 101, 158, 0};
  const int32_t endgame[8] = {0, 8, 8, 33, 82, 87, 135, 0};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(passedWithQueen[i], withQueen[i]);
    EXPECT_EQ(passedEndgame[i], endgame[i]);
  }
  EXPECT_EQ(gameBoard.tempo, 1);
  EXPECT_EQ(searchMargin.load(), -9);
}

TEST_F(PrepareTest, WeightsAtFiftyAndOneHundredFiftyPercent) {
  for (int w : {50, 150}) {
    activeSettings.pawnWeight = w;
    activeSettings.pieceWeight = w;
    for (int32_t *word : {&activeSettings.evalWeight18, &activeSettings.evalWeight21, &activeSettings.evalWeight22,
                          &activeSettings.evalWeight23, &activeSettings.evalWeight24})
      *word = w;
    prepared(nullptr);
    EXPECT_EQ(b()->kinds[WHITE_PAWN].middlegameValue, 52 * w / 100);
    EXPECT_EQ(b()->kinds[BLACK_PAWN].endgameValue, 84 * w / 100);
    EXPECT_EQ(b()->kinds[WHITE_KNIGHT].endgameValue, 308 * w / 100);
    EXPECT_EQ(b()->kinds[BLACK_ROOK].middlegameValue, 350 * w / 100);
    EXPECT_EQ(b()->kinds[WHITE_KING].endgameValue, 14000);
    int bishop = 247 * w / 100, queen = 720 * w / 100, rook = 350 * w / 100;
    EXPECT_EQ(endgameThreshold, bishop + queen);
    EXPECT_EQ(richMaterial, 4 * bishop + 2 * queen + 1);
    EXPECT_EQ(twoRooksTwoBishops, 2 * (bishop + rook));
    EXPECT_EQ(kingCentreThin, w / 10);
    EXPECT_EQ(pressureBaseDoubled, w / 50);
    EXPECT_EQ(attackCentre, w / 25);
    EXPECT_EQ(kingFilePenalty, w / 10);
    EXPECT_EQ(passedKingNear, w * 23 / 100);
    EXPECT_EQ(endPressureIsolated, w / 25);
    EXPECT_EQ(endPassedProtected, w / 20);
    EXPECT_EQ(passedNoQueen[5], 98 * w / 100);
    EXPECT_EQ(passedWithQueen[1], w / 50);
    EXPECT_EQ(passedWithQueen[6], 158 * w / 100);
    EXPECT_EQ(passedEndgame[2], w * 8 / 100);
    EXPECT_EQ(passedEndgame[4], 82 * w / 100);
    EXPECT_EQ(passedEndgame[7], 0);
  }
  // a later reset at 100 percent starts again from the defaults
  activeSettings = initialSettings;
  prepared(nullptr);
  EXPECT_EQ(passedWithQueen[6], 158);
  EXPECT_EQ(passedEndgame[6], 135);
}

TEST_F(PrepareTest, TwoResetsGiveIdenticalPreparations) {
  const char *fen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ -";
  setFen(fen);
  prepare(&rootPosition, 1);
  PreparedTables first = b()->prepared;
  int16_t terms[2][128];
  std::memcpy(terms[0], b()->white.pawnTerms, sizeof terms[0]);
  std::memcpy(terms[1], b()->black.pawnTerms, sizeof terms[1]);
  int score = rootPosition.score;
  setFen(fen);
  prepare(&rootPosition, 1);
  prepare(&rootPosition, 1);
  EXPECT_EQ(std::memcmp(&first, &b()->prepared, sizeof first), 0);
  EXPECT_EQ(std::memcmp(terms[0], b()->white.pawnTerms, sizeof terms[0]), 0);
  EXPECT_EQ(std::memcmp(terms[1], b()->black.pawnTerms, sizeof terms[1]), 0);
  EXPECT_EQ(rootPosition.score, score);
}

TEST_F(PrepareTest, ResetReleasesTheSaveSlots) {
  prepared(nullptr);
  ASSERT_GE(claimSaveSlot(b()), 0);
  prepare(&rootPosition, 0);
  EXPECT_EQ(saveSlotsInUse(), 1) << "only a reset preparation releases the slots";
  prepared(nullptr);
  EXPECT_TRUE(allSaveSlotsFree());
}

// A slot filled after a move and restored after the child's re-preparation
// leaves the board exactly as the move left it, for a capture that changes the
// phase (every kind's value) and a quiet pawn move (pawn terms and marks).
TEST_F(PrepareTest, SaveSlotUndoesARepreparation) {
  struct Case {
    const char *fen, *from, *to;
  };
  const Case cases[] = {{"r1b1k2r/ppp2ppp/2n5/3q4/3P4/2N5/PPP2PPP/R2QKB1R w KQkq -", "c3", "d5"},
                        {"r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -", "d2", "d4"}};
  static Position child;
  static Board afterMove;
  for (const Case &c : cases) {
    Position *root = setFen(c.fen);
    prepare(root, 1);
    initPosition(&child, b());
    makeMove(root, makeMoveWord(sq(c.from), sq(c.to)), &child);
    std::memcpy((void *)&afterMove, (const void *)b(), sizeof afterMove);
    int slot = claimSaveSlot(b());
    ASSERT_GE(slot, 0);
    fillSaveSlot(slot, b());
    prepare(&child, 0);
    EXPECT_NE(std::memcmp((const void *)&afterMove, (const void *)b(), sizeof afterMove), 0) << c.fen;
    restoreSaveSlot(slot, b());
    freeSaveSlot(slot);
    EXPECT_EQ(std::memcmp((const void *)&afterMove, (const void *)b(), sizeof afterMove), 0) << c.fen;
    for (int i = 0; i < 33; i++) EXPECT_EQ(b()->pieces[i].value, afterMove.pieces[i].value) << c.fen << " record " << i;
    for (int k = 0; k < 13; k++) EXPECT_EQ(b()->kinds[k].currentValue, afterMove.kinds[k].currentValue) << c.fen << " code " << k;
    unmakeMove(&child);
  }
}

// ======================= phase and driver =======================

TEST_F(PrepareTest, StartPosition) {
  int score = prepared(nullptr);
  EXPECT_TRUE(d().middlegame);
  EXPECT_TRUE(d().anyQueen);
  EXPECT_TRUE(d().manyUnits);
  EXPECT_EQ(b()->drawShrink, 0);
  EXPECT_EQ(rootPosition.statusFlags & 0x400, 0);
  for (int c = 0; c < 13; c++) {
    if (c == EMPTY_CODE) continue;
    int pair = b()->kinds[c].kind == BISHOP ? 23 : 0;  // the bishop pair sits in the value
    EXPECT_EQ(b()->kinds[c].currentValue, b()->kinds[c].middlegameValue + pair) << c;
  }
  EXPECT_EQ(d().whiteShelter, sq("g1"));
  EXPECT_EQ(d().blackShelter, sq("g8"));
  EXPECT_EQ(b()->kingZoneTable, kingZoneGroups);
  EXPECT_EQ(d().occupancy, rootPosition.allBits);  // nothing wrote past the last table
  // the middlegame builder scores the start position 0; the root score is
  // that minus the side handicap (engine side white: -7, queens and rich material)
  int32_t flags = rootPosition.statusFlags;
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  b()->prepared.data.occupancy = rootPosition.allBits;
  EXPECT_EQ(prepareTables(b(), &flags, 0, 1), 0);
  EXPECT_EQ(score, -7);
}

TEST_F(PrepareTest, MaterialChoosesTheBuilder) {
  prepared("4k3/8/8/8/8/8/8/2B1KQ2 w - -");  // queen and bishop: 967
  EXPECT_EQ(d().passedTable, passedEndgame);
  prepared("4k3/8/8/8/8/8/8/3RKQ2 w - -");  // queen and rook: 1070
  EXPECT_EQ(d().passedTable, passedWithQueen);
  prepared("4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(d().passedTable, passedEndgame);
}

TEST_F(PrepareTest, ContemptFavoursTheEngineSide) {
  const char *fen = "r3k2r/ppp2ppp/2n5/3pp3/8/2NP4/PPP2PPP/R3K2R b KQkq -";
  int base = prepared(fen);
  activeSettings.contempt = 20;
  EXPECT_EQ(prepared(fen), base + 20);
  setFen(fen);
  gameBoard.engineSide = -rootPosition.side;
  activeSettings.contempt = 0;
  prepare(&rootPosition, 1);
  int other = rootPosition.score;
  activeSettings.contempt = 20;
  setFen(fen);
  gameBoard.engineSide = -rootPosition.side;
  prepare(&rootPosition, 1);
  EXPECT_EQ(rootPosition.score, other - 20);
}

TEST_F(PrepareTest, CastlingRefreshDropsRightsWithoutTheRook) {
  setFen("r3k3/8/8/8/8/8/8/4K2R w KQkq -");
  prepare(&rootPosition, 1);
  EXPECT_EQ(rootPosition.statusFlags & 30, 2 | 16);  // the a1 and h8 rights go with their rooks
}

// ---- the hanging-piece rule ----
struct Played {
  Position child;
};

TEST_F(PrepareTest, CaptureAnsweredByACheaperAttackerHidesThePiece) {
  Position *root = setFen("r3k3/8/2p5/3p4/8/8/8/R2QK3 w - -");
  prepare(root, 1);
  int material = b()->material;
  static Played p;
  initPosition(&p.child, b());
  makeMove(root, makeMoveWord(sq("d1"), sq("d5")), &p.child);
  prepare(&p.child, 0);
  EXPECT_EQ(d().anyQueen, 0);  // the builder saw no queen
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].count, 1);
  EXPECT_EQ(b()->material, material);
  unmakeMove(&p.child);
  // without the defender of d5 nobody attacks the queen
  root = setFen("r3k3/8/8/3p4/8/8/8/R2QK3 w - -");
  prepare(root, 1);
  initPosition(&p.child, b());
  makeMove(root, makeMoveWord(sq("d1"), sq("d5")), &p.child);
  prepare(&p.child, 0);
  EXPECT_EQ(d().anyQueen, 1);
  unmakeMove(&p.child);
}

TEST_F(PrepareTest, HangingRuleOnlyForCapturesAndSpecialMoves) {
  static Played p;
  // a queen moving quietly onto an attacked square stays counted
  Position *root = setFen("r3k3/8/8/2p5/8/8/8/R2QK3 w - -");
  prepare(root, 1);
  initPosition(&p.child, b());
  makeMove(root, makeMoveWord(sq("d1"), sq("d4")), &p.child);
  prepare(&p.child, 0);
  EXPECT_EQ(d().anyQueen, 1);
  unmakeMove(&p.child);
  // a promotion without capture onto a square the rook covers is tested
  root = setFen("7r/P3k3/8/8/8/8/8/R3K3 w - -");
  prepare(root, 1);
  initPosition(&p.child, b());
  makeMove(root, makeMoveWord(sq("a7"), sq("a8")), &p.child);
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].count, 1);
  prepare(&p.child, 0);
  EXPECT_EQ(d().anyQueen, 0);
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].count, 1);
  unmakeMove(&p.child);
  // a capture by the king is never hanging: were the king hidden, the
  // builder would see material far below the shelter threshold
  root = setFen("r3k2r/8/8/8/2p5/3p4/4K3/R2Q3R w - -");
  prepare(root, 1);
  initPosition(&p.child, b());
  makeMove(root, makeMoveWord(sq("e2"), sq("d3")), &p.child);
  prepare(&p.child, 0);
  EXPECT_EQ(b()->kingZoneTable, kingZoneGroups);
  EXPECT_EQ(b()->kinds[WHITE_KING].count, 1);
  unmakeMove(&p.child);
}

// ======================= builder steps =======================

TEST_F(PrepareTest, FileSegmentsAndBoxedRooks) {
  setFen("4k3/8/8/8/8/8/8/4K3 w - -");
  std::memset(b()->white.pawnTerms, 0, sizeof b()->white.pawnTerms);
  std::memset(b()->black.pawnTerms, 0, sizeof b()->black.pawnTerms);
  addFileSegment(b(), 1, 4, 2, 5);  // c2, c3, c4
  for (int r = 0; r < 8; r++) EXPECT_EQ(b()->white.pawnTerms[r * 16 + 2], (r >= 1 && r <= 3) ? 5 : 0) << r;
  addFileSegment(b(), -1, 3, 6, -7);  // second half of g5, g6, g7
  for (int r = 0; r < 8; r++) {
    EXPECT_EQ(b()->black.pawnTerms[r * 16 + 6 + 8], (r >= 4 && r <= 6) ? 7 : 0) << r;
    EXPECT_EQ(b()->black.pawnTerms[r * 16 + 6], 0);
  }
  addFileSegment(b(), 1, 1, 0, 9);   // rank below 2: nothing
  addFileSegment(b(), -1, 6, 0, 9);  // rank above 5: nothing
  addFileSegment(b(), 1, 5, 8, 9);   // off the board: nothing
  EXPECT_EQ(b()->white.pawnTerms[0x10], 0);
  EXPECT_EQ(b()->black.pawnTerms[0x70], 0);

  int end, rook;
  setFen("4k3/8/8/8/8/8/5PPP/5RKR w - -");
  findBoxedRook(b(), sq("h1"), sq("e1"), 1, &end, &rook);
  EXPECT_EQ(end, sq("e1"));
  EXPECT_EQ(rook, sq("f1"));  // the last rook met walking in
  setFen("4k3/8/8/8/8/8/6P1/5RKR w - -");
  findBoxedRook(b(), sq("h1"), sq("e1"), 1, &end, &rook);
  EXPECT_EQ(rook, sq("e1"));  // a rook on an open file frees the walk
  findBoxedRook(b(), sq("a1"), sq("e1"), 1, &end, &rook);
  EXPECT_EQ(rook, sq("e1"));
}

TEST_F(PrepareTest, PawnRecordsSpansAndPassedSegments) {
  setFen("4k3/8/3p4/8/4P3/8/8/4K3 w - -");
  d().passedTable = passedNoQueen;
  activeSettings = initialSettings;
  initMiddlegameWeights(b());
  analysePawnStructure(b(), 49);
  const int32_t *we = pawnRecord(b(), 1, 4);
  EXPECT_EQ(we[0], 3);
  EXPECT_EQ(we[1], 3);
  EXPECT_EQ(we[2], 4);  // d6 stands one rank ahead beside: e4 is not passed
  const int32_t *bd = pawnRecord(b(), -1, 3);
  EXPECT_EQ(bd[0], 5);
  EXPECT_EQ(bd[1], 5);
  EXPECT_EQ(bd[2], 4);
  const int32_t *none = pawnRecord(b(), 1, 0);
  EXPECT_EQ(none[0], 7);
  EXPECT_EQ(none[1], 0);
  EXPECT_EQ(none[2], 0);
  EXPECT_EQ(none[3], 7);
  EXPECT_EQ(pawnRecord(b(), -1, 7)[1], 7);
  EXPECT_EQ(d().pawnSpan, 1);
  EXPECT_EQ(d().pawnSpanBits[0], bit88(sq("d5")) | bit88(sq("f5")));
  EXPECT_EQ(d().pawnSpanBits[1], bit88(sq("c5")) | bit88(sq("e5")));
  EXPECT_EQ(d().pawns[0], bit88(sq("e4")));
  EXPECT_EQ(d().pawnAttacks[1], bit88(sq("c5")) | bit88(sq("e5")));

  // passed e5 with a black pawn ahead on f7: only file f blocks
  setFen("4k3/5p2/8/4P3/8/8/8/4K3 w - -");
  d().passedTable = passedNoQueen;
  analysePawnStructure(b(), 49);
  int v = (45 * 49 + 32) >> 6;
  EXPECT_EQ(b()->black.pawnTerms[sq("f6")], v);
  EXPECT_EQ(b()->black.pawnTerms[sq("f7")], v);
  EXPECT_EQ(b()->black.pawnTerms[sq("f5")], 0);
  // black's f7 meets the e5 pawn on its left: white's e-file gets v on ranks 2..6
  int w = (1 * 49 + 32) >> 6;
  for (int r = 0; r < 8; r++) EXPECT_EQ(b()->white.pawnTerms[r * 16 + 4], (r >= 1 && r <= 5) ? w : 0) << r;
}

// Spans reach two squares past the pawn unless an enemy pawn holds or attacks
// the way; the widened sets run from the enemy spans back to (not onto) the
// enemy's first rank, up to the first square the own pawns hold or attack.
TEST_F(PrepareTest, PawnSpansAndWidenedAttackSets) {
  auto set = [](std::initializer_list<const char *> names) {
    uint64_t s = 0;
    for (const char *n : names) s |= bit88(sq(n));
    return s;
  };
  setFen("4k3/8/8/8/8/8/P7/4K3 w - -");  // a free a2 pawn
  d().passedTable = passedNoQueen;
  analysePawnStructure(b(), 49);
  EXPECT_EQ(d().pawnSpanBits[0], set({"b3", "b4", "b5"}));
  EXPECT_EQ(d().pawnSpanBits[1], 0u);
  EXPECT_EQ(d().wideAttacks[0], set({"b3"}));
  EXPECT_EQ(d().wideAttacks[1], set({"b2", "b3", "b4", "b5"}));

  setFen("4k3/8/8/8/3p4/8/4P3/4K3 w - -");  // e2 and d4 stop each other at once
  d().passedTable = passedNoQueen;
  analysePawnStructure(b(), 49);
  EXPECT_EQ(d().pawnSpanBits[0], set({"d3", "f3"}));
  EXPECT_EQ(d().pawnSpanBits[1], set({"c3", "e3"}));
  EXPECT_EQ(d().wideAttacks[0], set({"d3", "f3", "c3", "c4", "c5", "c6", "c7", "e3", "e4", "e5", "e6", "e7"}));
  EXPECT_EQ(d().wideAttacks[1], set({"c3", "e3", "d3", "d2", "f3", "f2"}));

  setFen("4k3/8/8/1p6/8/P7/P7/4K3 w - -");  // a2 behind a3: a3 spans on until b5 attacks a4
  d().passedTable = passedNoQueen;
  analysePawnStructure(b(), 49);
  EXPECT_EQ(d().pawnSpanBits[0], set({"b3", "b4"}));
  EXPECT_EQ(d().pawnSpanBits[1], set({"a4", "c4"}));
}

TEST_F(PrepareTest, TrappedPiecesLoseOnTheirSquareOnly) {
  setFen("4k3/8/Bp6/8/8/8/8/4K3 w - -");
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  addTrappedPieceTerms(b());
  for (int t = 0; t < 12; t++)
    for (int s = 0; s < 120; s++) EXPECT_EQ(b()->prepared.square[t][s], 0) << t << " " << s;
  setFen("4k3/B7/1p6/8/8/8/8/4K3 w - -");
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  addTrappedPieceTerms(b());
  int nonzero = 0;
  for (int t = 0; t < 12; t++)
    for (int s = 0; s < 120; s++) nonzero += b()->prepared.square[t][s] != 0;
  EXPECT_EQ(nonzero, 1);
  EXPECT_EQ(at(WB, "a7"), -130);
  setFen("4k3/8/8/8/8/P7/R7/4K3 w - -");  // a3 without b2: no pattern
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  addTrappedPieceTermsEndgame(b());
  EXPECT_EQ(at(WR, "a2"), 0);
  setFen("4k3/8/8/8/8/P7/RP6/4K3 w - -");
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  addTrappedPieceTermsEndgame(b());
  EXPECT_EQ(at(WR, "a2"), -360);
}

TEST_F(PrepareTest, ShrinkWithAHalfMoveClock) {
  Position *p = setFen("r3k3/ppp5/8/8/8/8/PPP5/R3K3 w - -");
  p->halfMoveClock = 10;
  prepare(p, 1);
  EXPECT_FALSE(d().anyQueen);
  EXPECT_EQ(p->statusFlags & 0x400, 0x400);
  // 80 x evalWeight19 / 100, then turned toward the score and to the mover's view
  activeSettings.evalWeight19 = 50;
  p = setFen("r3k3/ppp5/8/8/8/8/PPP5/R3K3 w - -");
  p->halfMoveClock = 10;
  int32_t flags = 0;
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  prepareTables(b(), &flags, 10, 1);
  EXPECT_EQ(b()->drawShrink, 80 * 50 / 100);
  EXPECT_EQ(flags & 0x400, 0x400);
}

TEST_F(PrepareTest, LongClockNeverTurnsTheScaleNegative) {
  // three pieces, shrink set: k = (100 - h) x 37 + 150) / 100 with h capped at 100
  // endgame builder: k = ((100 - h) x 38 + 150) / 100 = 1 at the cap
  Position *p = setFen("4k3/pp6/8/8/8/8/PP6/RN2K2R w - -");
  p->halfMoveClock = 130;
  prepare(p, 1);
  EXPECT_EQ(d().drawClass, 0);
  EXPECT_GE(at(WK, "e4"), 0);  // a positive centre term keeps its sign
  EXPECT_EQ(b()->kinds[WHITE_ROOK].currentValue, (1 * 511 + 32) >> 6);
  EXPECT_EQ(b()->kinds[BLACK_PAWN].currentValue, (1 * 84 + 32) >> 6);
  // middlegame builder, three pieces: k = ((100 - h) x 37 + 150) / 100 = 1
  p = setFen("4k3/pp3r2/8/8/8/8/PP6/3QK2R w - -");
  p->halfMoveClock = 120;
  prepare(p, 1);
  EXPECT_EQ(d().drawClass, 0);
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].currentValue, (1 * 992 + 32) >> 6);
  EXPECT_EQ(b()->kinds[BLACK_ROOK].currentValue, (1 * 511 + 32) >> 6);
}

TEST_F(PrepareTest, QueenAgainstRookIsStronglyDrawish) {
  const char *fen = "4k3/4r3/4p3/3p4/8/8/8/3QK3 w - -";
  activeSettings.reserved12 = 0;
  prepared(fen);
  EXPECT_EQ(d().drawClass, 0);
  PreparedTables plain = b()->prepared;
  int32_t queen = b()->kinds[WHITE_QUEEN].currentValue;
  activeSettings.reserved12 = 1;
  prepared(fen);
  EXPECT_EQ(d().drawClass, 2);
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].currentValue, (17 * queen + 32) >> 6);
  // every table but the pawns' (whose contact term is left out when drawish)
  for (int t = 0; t < 12; t++)
    for (int s = 0; s < 120; s++)
      if (onBoard(s) && t != WP && t != BP) {
        ASSERT_EQ(b()->prepared.square[t][s], (17 * plain.square[t][s] + 32) >> 6) << t << " " << s;
      }
}

TEST_F(PrepareTest, MiddlegameCurrentValuesWithoutTheMiddlegameFlag) {
  // queen and rook against queen and bishop: one rook in all (drawish
  // scaling switched off so that the values are seen unscaled)
  activeSettings.reserved12 = 0;
  prepared("3qkb2/8/8/8/8/8/8/3QKR2 w - -");
  EXPECT_FALSE(d().middlegame);
  EXPECT_EQ(b()->kinds[WHITE_QUEEN].currentValue, 992);
  EXPECT_EQ(b()->kinds[WHITE_ROOK].currentValue, 511);
  EXPECT_EQ(b()->kinds[BLACK_BISHOP].currentValue, 319);  // the bishop side has no rook
}

// Sets up a position and its pawn analysis with zero square tables, for the
// steps that are tested on their own.
void analysed(const char *fen) {
  ASSERT_EQ(parseFen(fen), 0);
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0);
  activeSettings = initialSettings;
  initMiddlegameWeights(&gameBoard);
  initEndgameWeights();
  std::memset(&gameBoard.prepared, 0, sizeof gameBoard.prepared);
  gameBoard.prepared.data.occupancy = rootPosition.allBits;
  gameBoard.prepared.data.passedTable = passedEndgame;
  analysePawnStructure(&gameBoard, 53);
}

int nonzeroEntries() {
  int n = 0;
  for (int t = 0; t < 12; t++)
    for (int s = 0; s < 120; s++) n += gameBoard.prepared.square[t][s] != 0;
  return n;
}

TEST_F(PrepareTest, ScreenBehindAPieceOnItsPawn) {
  // the a1 rook sees the knight on a4 (covered by its own b5 pawn): 2 off the
  // black queen and king tables on a5..a8, the walk going on through the king
  analysed("k7/8/8/1p6/n7/8/7K/R7 w - -");
  lineTerms(b(), true);
  for (const char *s : {"a5", "a6", "a7", "a8"}) {
    EXPECT_EQ(at(BQ, s), -2) << s;
    EXPECT_EQ(at(BK, s), -2) << s;
  }
  EXPECT_EQ(nonzeroEntries(), 8);
  // without the pawn the endgame rules skip an enemy piece
  analysed("k7/8/8/8/n7/8/7K/R7 w - -");
  lineTerms(b(), true);
  EXPECT_EQ(nonzeroEntries(), 0);
}

TEST_F(PrepareTest, PinAgainstTheKing) {
  // middlegame rules: the knight before the white king, no pawn covering it:
  // 10 in the black queen and rook tables on d3..d8
  analysed("4k3/8/8/8/8/8/3N4/3K4 w - -");
  lineTerms(b(), false);
  for (const char *s : {"d3", "d4", "d5", "d6", "d7", "d8"}) {
    EXPECT_EQ(at(BQ, s), 10) << s;
    EXPECT_EQ(at(BR, s), 10) << s;
  }
  EXPECT_EQ(nonzeroEntries(), 12);
}

TEST_F(PrepareTest, MobilityThroughThePawns) {
  // endgame mobility: the undefended d5 pawn is worth endTargetPawn to white's
  // pieces; lines stop behind it; with 7 empty files the squares are worth 0
  analysed("4k3/8/8/3p4/8/8/8/R3K3 w - -");
  d().emptyFiles = 7;
  prepareSquareTerms(b());
  EXPECT_EQ(at(WR, "d1"), 23);
  EXPECT_EQ(at(WR, "d8"), 23);
  EXPECT_EQ(at(WR, "a5"), 23);
  EXPECT_EQ(at(WR, "h5"), 23);
  EXPECT_EQ(at(WR, "e4"), 0);
  EXPECT_EQ(at(WQ, "a2"), 23);
  EXPECT_EQ(at(WQ, "d2"), 23);
  EXPECT_EQ(at(WB, "h1"), 23);
  EXPECT_EQ(at(WB, "d1"), 0);
  EXPECT_EQ(at(WN, "c3"), 0);  // no knights on the board: no knight pass
  for (int t = BK; t <= BP; t++)
    for (int s = 0; s < 120; s++) EXPECT_EQ(b()->prepared.square[t][s], 0);
}

TEST_F(PrepareTest, KingsAndPawns) {
  analysed("4k3/8/8/4P3/8/8/8/4K3 w - -");
  b()->kinds[WHITE_PAWN].currentValue = 84;
  kingPawnTerms(b(), 12, 7);
  int nearValue = (12 * 84 + 32) >> 6;  // 16: the black king is drawn to the pawn
  for (int step : {1, -1, 16, -16, 15, -15, 17, -17}) {
    EXPECT_EQ(b()->prepared.square[BK][sq("e5") + step], nearValue);
    EXPECT_EQ(b()->prepared.square[WK][sq("e5") + step], 4 * 7);  // passed on rank 4
  }
  EXPECT_EQ(nonzeroEntries(), 16);
}

TEST_F(PrepareTest, EndgameKingCentrality) {
  // bare kings: class 2, everything scaled by 14/64
  prepared("4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(d().drawClass, 2);
  EXPECT_EQ(at(WK, "d4"), (14 * 12 * 6 + 32) >> 6);
  EXPECT_EQ(at(WK, "a1"), 0);
  EXPECT_EQ(at(WK, "d6"), (14 * 12 * 7 + 32) >> 6);
  EXPECT_EQ(at(BK, "d3"), (14 * 12 * 7 + 32) >> 6);  // black's table: ranks reversed
  EXPECT_EQ(at(BK, "h8"), 0);
}

TEST_F(PrepareTest, ThinMaterialActivatesTheKings) {
  prepared("4k3/pp6/2n5/8/8/8/PP6/R1B1K2R w - -");
  EXPECT_FALSE(d().middlegame);
  EXPECT_EQ(b()->kingActive, 1);
  EXPECT_EQ(d().drawClass, 0);
  // open-file pressure doubles with active kings on files without white pawns
  EXPECT_EQ(d().isolatedPressure[0][4], 6 + 2 * 8);
  EXPECT_EQ(d().backwardPressure[0][4], 3 + 2 * 8);
  EXPECT_EQ(d().doubledIsolatedPressure[0][4], 2 + 4 * 8);
  EXPECT_EQ(d().isolatedPressure[0][0], 6);
  EXPECT_EQ(d().isolatedPressure[1][4], 6);  // black has no rook
  EXPECT_EQ(d().openFileRookBonus, 0);        // six empty files
}

// ---- endgame builder ----

TEST_F(PrepareTest, PawnEnding) {
  prepared("8/pp6/8/8/8/8/PP6/K6k w - -");
  EXPECT_EQ(b()->kinds[WHITE_PAWN].currentValue, 84 + 47);
  EXPECT_EQ(b()->kinds[BLACK_PAWN].currentValue, 84 + 47);
  int32_t flags = 0;
  std::memset(&b()->prepared, 0, sizeof b()->prepared);
  prepareEndgameTables(b(), &flags, 5, 1);
  EXPECT_EQ(b()->drawShrink, 10 * 5 * 100 / 50);
  EXPECT_EQ(flags & 0x400, 0x400);

  // The square of the g4 pawn (r = 3). White to move: ranks below the pawn,
  // more than 4 files away lose 50; black to move: two or more ranks below,
  // more than 3 files away.
  setFen("8/8/8/8/6P1/8/k7/6K1 w - -");
  auto blackKing = [&](int side, const char *s) {
    int32_t f = 0;
    std::memset(&b()->prepared, 0, sizeof b()->prepared);
    prepareEndgameTables(b(), &f, 0, side);
    return at(BK, s);
  };
  EXPECT_EQ(blackKing(-1, "c2") - blackKing(1, "c2"), -50);  // outside only with black to move
  EXPECT_EQ(blackKing(-1, "a2"), blackKing(1, "a2"));        // outside either way
  EXPECT_EQ(blackKing(-1, "e2"), blackKing(1, "e2"));        // inside either way
  EXPECT_EQ(blackKing(-1, "c3") - blackKing(1, "c3"), 0);    // one rank below: white's rule only
  EXPECT_EQ(blackKing(1, "b3") - blackKing(1, "b5"), -50 - endgameKingBlack(sq("b5")) * 12 + endgameKingBlack(sq("b3")) * 12);
}

TEST_F(PrepareTest, WrongBishopAndFewPawns) {
  prepared("7k/7B/8/8/8/8/7P/6K1 w - -");  // bishop h7: colour 1
  EXPECT_EQ(d().drawClass, 2);
  EXPECT_EQ(b()->kinds[WHITE_BISHOP].currentValue, (14 * 319 + 32) >> 6);
  // W = 1: T = 319 + 84, x = T - 84, the pawn carries 2x / 3 before the scaling
  EXPECT_EQ(b()->kinds[WHITE_PAWN].currentValue, (14 * (84 + 2 * 319 / 3) + 32) >> 6);
  prepared("7k/8/7B/8/8/8/7P/6K1 w - -");  // bishop h6: colour 0 covers h8
  // the wrong-bishop case does not apply; the last drawish rule holds on its own: one pawn or
  // fewer on each side is at least drawish (class 1)
  EXPECT_EQ(d().drawClass, 1);
}

TEST_F(PrepareTest, OppositeBishopsAndBishopPair) {
  prepared("4k3/1b6/8/p1p1p3/P1P1P3/8/8/4KB2 w - -");  // bishops f1 (colour 1) and b7 (colour 1)?
  // f1: (5 + 0) & 1 = 1; b7: (1 + 6) & 1 = 1: same colour, not opposite
  EXPECT_EQ(d().oppositeBishops, 0);
  prepared("4k3/2b5/8/p1p1p3/P1P1P3/8/8/4KB2 w - -");  // c7: (2 + 6) & 1 = 0
  EXPECT_EQ(d().oppositeBishops, 1);
  EXPECT_EQ(d().pawnSpan, 4);
  EXPECT_EQ(d().drawClass, 2);  // white has only the bishop: span <= 6
  // two bishops against none: the pair adds 46; one man each at most makes
  // it class 1 (scale 32/64)
  prepared("4k3/8/8/8/8/8/8/2B1KB2 w - -");
  EXPECT_EQ(d().drawClass, 1);
  EXPECT_EQ(b()->kinds[WHITE_BISHOP].currentValue, ((32 * (319 + 46)) + 32) >> 6);
}

TEST_F(PrepareTest, KnightInTheCornerLosesBothEdgeTerms) {
  // no pawns: the mobility values are 0, only the edge terms reach the knight
  // table; rule 1 (W = 0, a minor up) makes it class 2, scaled by 14/64
  prepared("7k/8/8/8/8/8/8/N3K3 w - -");
  EXPECT_EQ(d().drawClass, 2);
  EXPECT_EQ(at(WN, "a1"), (14 * -86 + 32) >> 6);
  EXPECT_EQ(at(WN, "a4"), (14 * -43 + 32) >> 6);
  EXPECT_EQ(at(WN, "d4"), 0);
  EXPECT_EQ(at(BN, "h8"), (14 * -86 + 32) >> 6);
}

// ======================= colour mirror =======================

TEST_F(PrepareTest, ColourMirrorGivesEqualScores) {
  std::vector<std::string> corpus = {
      "r1b1kb1r/pp3ppp/2n2n2/2ppp3/4P3/2NP1N2/PPP2PPP/R1B1KB1R w KQkq -",
      "r3k2r/ppp2ppp/2n5/3pp3/8/2NP4/PPP2PPP/R3K2R b KQkq -",
      "4k3/pp3p2/2p5/8/3P4/5P2/PP6/4K3 w - -",
      "2r3k1/pp3ppp/8/8/8/8/PP3PPP/2R3K1 w - -",
      "8/5k2/3p4/2pP4/2P5/5K2/8/8 w - -",
      "r4rk1/pp1n1ppp/8/3p4/3P4/8/PP1N1PPP/R4RK1 b - -",
  };
  Rand15 r{12345};
  const Material kinds[] = {
      {{5, 5}, {1, 1}, {2, 2}, {2, 2}, {0, 0}},
      {{4, 3}, {2, 1}, {0, 0}, {1, 2}, {0, 0}},
      {{3, 3}, {1, 0}, {0, 0}, {0, 1}, {0, 0}},
      {{6, 4}, {0, 1}, {2, 2}, {1, 1}, {0, 0}},
      {{2, 3}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
      {{4, 4}, {1, 2}, {0, 0}, {0, 0}, {0, 0}},
  };
  for (int i = 0; i < 120; i++) {
    std::string fen = randomFen(r, kinds[i % 6], (i & 1) ? 1 : -1);
    if (!fen.empty()) corpus.push_back(fen);
  }
  for (const std::string &fen : corpus) {
    int a = prepared(fen.c_str());
    std::string m = mirrorFen(fen);
    int b2 = prepared(m.c_str());
    EXPECT_EQ(a, b2) << fen << "  /  " << m;
  }
}

// ======================= incremental against fresh =======================

// In a pawn ending the tables depend on the pawns, the material and the side
// to move only, so after an even number of king moves the incremental score
// equals a fresh preparation. Left out: pawn moves and captures (the pawn
// paths and the doubled-isolated terms drift by design) and the half-move
// clock (a fresh preparation would add the shrink; the clock is reset here).
TEST_F(PrepareTest, IncrementalScoreMatchesFreshPreparation) {
  const char *fen = "8/2k5/2p2p2/1pP2P2/1P6/6K1/8/8 w - -";
  const char *moves[] = {"g3f4", "c7d7", "f4e4", "d7e7", "e4d4", "e7f7", "d4e4", "f7e7"};
  static Position line[9];
  Position *root = setFen(fen);
  prepare(root, 1);
  line[0] = *root;
  Position *pos = &line[0];
  for (int i = 0; i < 8; i++) {
    const char *m = moves[i];
    Position *child = &line[i + 1];
    initPosition(child, b());
    makeMove(pos, makeMoveWord(sq(m), sq(m + 2)), child);
    ASSERT_EQ(child->statusFlags & 0x800, 0) << m;
    pos = child;
    if (i % 2 == 1) {
      int incremental = pos->score;
      Position fresh = *pos;
      fresh.halfMoveClock = 0;
      fresh.capturedPiece = b()->end();
      prepare(&fresh, 1);
      EXPECT_EQ(incremental, fresh.score) << "after " << m;
    }
  }
  for (int i = 8; i >= 1; i--) unmakeMove(&line[i]);
}

// ======================= random positions =======================

// Every preparation of random legal positions keeps its writes inside the
// tables (under the sanitizer builds any stray access aborts), leaves the
// occupancy snapshot intact and sets every piece's value from the tables.
TEST_F(PrepareTest, RandomPositionsStayInBounds) {
  int done = forRandomPositions(777, 400, [](Position *p, const std::string &fen, Rand15 &r) {
    p->halfMoveClock = r.next() % 140;
    prepare(p, 1);
    ASSERT_EQ(d().occupancy, p->allBits) << fen;
    for (int t = 0; t < 12; t++)
      for (int s = 0; s < 120; s++)
        if (!onBoard(s)) {
          ASSERT_EQ(b()->prepared.square[t][s], 0) << fen << " table " << t << " index " << s;
        }
    for (PieceListHead *h : {&b()->white, &b()->black})
      for (PieceRecord *x = h->node.next; x != b()->end(); x = x->next) {
        int f = fileOf(x->square);
        int v = x->kind->squareTable[x->square] + x->kind->currentValue;
        if (x->kind->kind == ROOK || x->kind->kind == PAWN) continue;  // open-file and isolated terms
        (void)f;
        ASSERT_EQ(x->value, v) << fen;
      }
    ASSERT_GE(d().drawClass, 0);
    ASSERT_LE(d().drawClass, 2);
  });
  EXPECT_GT(done, 300);
}


// The bitboard reach of every piece against the 0x88 geometry: the kind's
// capability must allow the difference, and a slider needs the squares
// between empty. Random positions put sliders behind and in front of men.
TEST_F(PrepareTest, ReachSetsFollowTheAttackGeometry) {
  int pieces = 0;
  forRandomPositions(2718, 200, [&pieces](Position *p, const std::string &fen, Rand15 &) {
    uint64_t occ = p->allBits;
    for (PieceListHead *h : {&b()->white, &b()->black})
      for (PieceRecord *x = h->node.next; x != b()->end(); x = x->next) {
        uint64_t set = reachSet(x, occ);
        int cap = x->kind->capability;
        for (int t = 0; t < 120; t++) {
          if (!onBoard(t)) continue;
          bool expected = t != x->square && (attackCapability(t - x->square) & cap) &&
                          (!(cap & (2 | 4 | 8)) || (squaresBetween(x->square, t) & occ) == 0);
          ASSERT_EQ((set & squareBit88[t]) != 0, expected) << fen << " piece on " << x->square << " square " << t;
        }
        pieces++;
      }
  });
  EXPECT_GT(pieces, 2000);
}

// Random games from random positions: every child whose move captured or was
// special is prepared as the search does it (reset 0); the hanging-piece rule
// must leave counts and material as they were, and the block stays intact.
TEST_F(PrepareTest, RandomGamesPrepareChildren) {
  Rand15 r{4242};
  static Position line[64];
  int prepared = 0;
  for (int game = 0; game < 60; game++) {
    Material m = randomMaterial(r, 2, 7);
    std::string fen = game == 0 ? "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -" : randomFen(r, m, 1);
    if (fen.empty()) continue;
    line[0] = *setFen(fen.c_str());
    prepare(&line[0], 1);
    int ply = 0;
    while (ply < 60) {
      Position *pos = &line[ply], *child = &line[ply + 1];
      pos->moveCursor = pos->moveList;
      genCaptures(pos);
      genQuietMoves(pos);
      int n = (int)(pos->moveCursor - pos->moveList);
      if (n == 0) break;
      Move mv = pos->moveList[r.next() % n];
      initPosition(child, b());
      makeMove(pos, mv, child);
      if ((child->statusFlags & 0x800) || kingAttacked(child, child->opponent)) {
        unmakeMove(child);
        if (r.next() % 4 == 0) break;
        continue;
      }
      if (child->capturedPiece != b()->end() || isSpecialMove(child)) {
        int counts[13], material = b()->material;
        for (int c = 0; c < 13; c++) counts[c] = b()->kinds[c].count;
        prepare(child, 0);
        prepared++;
        ASSERT_EQ(b()->material, material) << fen;
        for (int c = 0; c < 13; c++) ASSERT_EQ(b()->kinds[c].count, counts[c]) << fen;
        ASSERT_EQ(d().occupancy, child->allBits) << fen;
      }
      ply++;
    }
    while (ply > 0) unmakeMove(&line[ply--]);
  }
  EXPECT_GT(prepared, 100);
}


// ======================= drift over long random games =======================

// A random legal move of the side to move that passes the filter, made on the
// board (false when none is found in a few tries).
template <typename Filter>
bool makeRandomMove(Rand15 &r, Position *pos, Position *child, Board *board, Filter keep) {
  pos->moveCursor = pos->moveList;
  genCaptures(pos);
  genQuietMoves(pos);
  int n = (int)(pos->moveCursor - pos->moveList);
  for (int tries = 0; tries < 30 && n > 0; tries++) {
    Move mv = pos->moveList[r.next() % n];
    if (!keep(mv)) continue;
    initPosition(child, board);
    makeMove(pos, mv, child);
    if ((child->statusFlags & STATUS_RESULT_FIXED) || kingAttacked(child, child->opponent)) {
      unmakeMove(child);
      continue;
    }
    return true;
  }
  return false;
}

// Pawn endings walked by the kings for many plies from random positions: the
// tables depend only on the pawns, the material and the side to move, so at
// every even ply the incremental score must equal a fresh preparation.
TEST_F(PrepareTest, KingWalksInPawnEndingsKeepTheFreshScore) {
  Rand15 r{9001};
  static Position line[81];
  int compared = 0;
  for (int game = 0; game < 40; game++) {
    Material m{};
    m.pawns[0] = 1 + r.next() % 5;
    m.pawns[1] = 1 + r.next() % 5;
    std::string fen = randomFen(r, m, (game & 1) ? -1 : 1);
    if (fen.empty()) continue;
    line[0] = *setFen(fen.c_str());
    prepare(&line[0], 1);
    int ply = 0;
    while (ply < 80) {
      Position *pos = &line[ply];
      auto kingStep = [&](Move mv) {
        return b()->at(moveFrom(mv))->kind->kind == KING && b()->at(realTo(mv))->colour == 0;
      };
      if (!makeRandomMove(r, pos, &line[ply + 1], b(), kingStep)) break;
      ply++;
      if (ply % 2 == 0) {
        Position fresh = line[ply];
        fresh.halfMoveClock = 0;
        fresh.capturedPiece = b()->end();
        prepare(&fresh, 1);
        ASSERT_EQ(line[ply].score, fresh.score) << fen << " after " << ply << " plies";
        compared++;
      }
    }
    while (ply > 0) unmakeMove(&line[ply--]);
  }
  EXPECT_GT(compared, 1000);
}

// Long random games of the pieces (quiet moves, castling and captures of
// pieces; pawns stay where they are) on one preparation: at every ply the
// incremental score must equal the full sum over the same tables (each
// piece's table entry plus its kind's value, with the open-file rook bonus),
// up to the constant part that alternates with the side to move (the root's
// remainder r, then tempo - r).
TEST_F(PrepareTest, IncrementalScoreFollowsTheTablesOverLongGames) {
  Rand15 r{31337};
  static Position line[121];
  int checked = 0;
  auto fullSum = [](Board *board) {
    const PreparedDataFields &d = board->prepared.data;
    int sum = 0;
    for (PieceListHead *h : {&board->white, &board->black}) {
      for (PieceRecord *x = h->node.next; x != board->end(); x = x->next) {
        if (!onBoard(x->square)) continue;
        int v = x->value;  // pawns: they never move here
        if (x->kind->kind != PAWN) {
          int f = fileOf(x->square);
          v = x->kind->squareTable[x->square] + x->kind->currentValue;
          if (x->kind->kind == ROOK && pawnsOnFile(board, 1, f) + pawnsOnFile(board, -1, f) == 0)
            v += d.openFileRookBonus;
        }
        sum += x->colour * v;
      }
    }
    return sum;
  };
  for (int game = 0; game < 120; game++) {
    Material m = randomMaterial(r, 0, 7);
    std::string fen = game == 0 ? "r3k2r/pp3ppp/2nbbn2/2qpp3/4P3/2NB1N2/PPPQ1PPP/R3K2R w KQkq -"
                                : randomFen(r, m, (game & 1) ? -1 : 1);
    if (fen.empty()) continue;
    line[0] = *setFen(fen.c_str());
    prepare(&line[0], 1);
    const int r0 = line[0].score - line[0].side * fullSum(b());
    int ply = 0;
    while (ply < 120) {
      Position *pos = &line[ply];
      auto pieceMove = [&](Move mv) {
        const PieceRecord *from = b()->at(moveFrom(mv)), *to = b()->at(realTo(mv));
        return from->kind->kind != PAWN && (to->colour == 0 || (to->kind->kind != PAWN && to->kind->kind != KING));
      };
      if (!makeRandomMove(r, pos, &line[ply + 1], b(), pieceMove)) break;
      ply++;
      Position *c = &line[ply];
      int rest = ply % 2 == 0 ? r0 : b()->tempo - r0;
      ASSERT_EQ(c->score - c->side * fullSum(b()), rest) << fen << " after " << ply << " plies";
      checked++;
    }
    while (ply > 0) unmakeMove(&line[ply--]);
  }
  EXPECT_GT(checked, 8000);
}

}  // namespace
