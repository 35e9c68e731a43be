// The module's game: building the board and root position from the game
// record's start fields, and appending game moves to the game record.
#include "engine/board/game/game.h"

#include <cassert>
#include <cstring>

#include "engine/board/board_check.h"
#include "engine/board/game/fen.h"
#include "engine/board/game/stopwatch.h"
#include "engine/board/keys.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/board/tables/bitboard.h"
#include "engine/board/tables/piece_types.h"
#include "platform/platform.h"

Board gameBoard;
Position rootPosition;
GameRecord gameRecord;

// ---- set-up ----

static void linkList(Board *b, PieceListHead *head, int first, int last, int step) {
  PieceRecord *prev = &head->node;
  for (int i = first; i != last + step; i += step) {
    PieceRecord *r = &b->pieces[i];
    if (r->colour == 0) continue;
    prev->next = r;
    r->prev = prev;
    prev = r;
  }
  prev->next = b->end();
}

int setupPosition(Position *root, GameRecord *record) {
  assert(root && record);
  Board *b = &gameBoard;
  int8_t grid[128];
  if (!readPlacement(record->fenBuffer, grid)) return -1;

  memset(&root->ownBits, 0, sizeof(Position) - POSITION_BODY);
  root->statusFlags = 0;
  root->nodeFlags = 0;
  root->shuffleCount = 0;
  root->lastMove = NO_MOVE;
  root->pendingThreat = NO_MOVE;
  root->threatMove = NO_MOVE;
  root->hashMove = NO_MOVE;
  root->unresolvedThreat = NO_MOVE;
  root->childKillers[0] = root->childKillers[1] = NO_MOVE;
  root->matedScore = -(MATE_SCORE - 1);
  root->parent = nullptr;
  root->pg = b;

  resetBoard(b);
  int side = record->startSide;
  // place the pieces: records taken in index order, as the reader above allotted them
  int used[33] = {0};
  for (int rank = 7; rank >= 0; rank--) {
    for (int file = 0; file < 8; file++) {
      int sq = rank * 16 + file;
      int code = grid[sq];
      if (code == EMPTY_CODE) continue;
      int rec = -1;
      for (int i = 0; i < 33 && rec < 0; i++)
        if (!used[i] && recordCode[i] == code) rec = i;
      if (rec < 0) {
        int pawn = code > EMPTY_CODE ? WHITE_PAWN : BLACK_PAWN;
        for (int i = 0; i < 33 && rec < 0; i++)
          if (!used[i] && recordCode[i] == pawn) rec = i;
        ENGINE_ASSERT(rec >= 0);
        assignKind(&b->pieces[rec], &b->kinds[code]);
      }
      used[rec] = 1;
      PieceRecord *r = &b->pieces[rec];
      r->colour = code > EMPTY_CODE ? 1 : -1;
      r->square = sq;
      b->squares()[sq] = r;
      root->key ^= pieceKey(r->kind, sq);
      uint64_t bit = squareBit[sq88To64[sq]];
      bool pawn = r->kind->kind == PAWN;
      if (r->colour == side) {
        root->ownBits |= bit;
        if (pawn) root->ownPawnBits |= bit;
      } else {
        root->enemyBits |= bit;
        if (pawn) root->enemyPawnBits |= bit;
      }
    }
  }

  root->side = side;
  root->opponent = -side;
  if (side < 0) root->key ^= sideKey;
  b->engineSide = -side;
  root->ownPieces = b->listHeads[side + 1];
  root->halfMoveClock = 0;
  int rights = record->startCastling;
  if (grid[0x04] != WHITE_KING) rights &= ~CASTLE_WHITE;
  if (grid[0x74] != BLACK_KING) rights &= ~CASTLE_BLACK;
  root->statusFlags = rights;
  root->epSquare = record->startEpSquare;
  if (root->epSquare != NO_SQUARE) root->nodeFlags |= NODE_EP_VALID;

  linkList(b, &b->white, 17, 32, 1);
  linkList(b, &b->black, 15, 0, -1);

  root->allBits = root->ownBits | root->enemyBits;
  resetPicker(root);
  root->capturedPiece = b->end();
  root->pieceCursor = &root->ownPieces->node;
  root->threatTarget = b->end();
  root->futilityGap = -MATE_SCORE;

  gameRecord.historyKeyCount = 0;
  addHistoryKey(root->key, 0);

  // counts
  for (int c = 0; c < 13; c++) b->kinds[c].count = 0;
  b->menCount = 0;
  b->material = -2 * PieceType[WHITE_KING].middlegameValue;
  for (PieceListHead *h : {&b->white, &b->black}) {
    for (PieceRecord *r = h->node.next; r != b->end(); r = r->next) {
      r->kind->count++;
      b->menCount++;
      if (r->kind->kind == PAWN) h->pawnFiles()[fileOf(r->square)]++;
      else b->material += r->kind->middlegameValue;
    }
  }

  // mating material
  root->statusFlags &= ~(WHITE_CANNOT_WIN | BLACK_CANNOT_WIN);
  const PieceKind *k = b->kinds;
  auto cannotMate = [](int pawns, int knights, int bishops, int rooks, int queens) {
    return pawns == 0 && rooks == 0 && queens == 0 && ((bishops == 0 && knights < 3) || bishops + knights <= 1);
  };
  if (cannotMate(k[WHITE_PAWN].count, k[WHITE_KNIGHT].count, k[WHITE_BISHOP].count, k[WHITE_ROOK].count,
                 k[WHITE_QUEEN].count))
    root->statusFlags |= WHITE_CANNOT_WIN;
  if (cannotMate(k[BLACK_PAWN].count, k[BLACK_KNIGHT].count, k[BLACK_BISHOP].count, k[BLACK_ROOK].count,
                 k[BLACK_QUEEN].count))
    root->statusFlags |= BLACK_CANNOT_WIN;

  record->moveNumber = record->startMoveNumber;
  assert(boardIsOk(root, true));
  return 0;
}

void addHistoryKey(uint64_t key, int index) {
  assert(index >= -1);
  if (index >= MAX_HISTORY_KEYS) index = MAX_HISTORY_KEYS - 1;  // past capacity keep the last slot
  if (index >= 0) gameRecord.historyKeys[index] = key;
  gameRecord.historyKeyCount = index + 1;
}

int keySightings(const GameRecord *record, uint64_t key) {
  assert(record);
  int n = 0;
  for (int i = 0; i < record->historyKeyCount; i++) n += record->historyKeys[i] == key;
  return n;
}

int playGameMove(Move move) {
  GameRecord *g = &gameRecord;
  Stopwatch *moverClock = rootPosition.side > 0 ? &g->whiteClock : &g->blackClock;
  stopwatchStop(moverClock);

  static Position child;
  makeMove(&rootPosition, move, &child);
  updateHashKey(&child);
  updateCastlingRights(&child);

  if (g->entryCount < MAX_GAME_ENTRIES) {
    g->entries[g->entryCount].thinkMs = moverClock->elapsedMs;
    g->entries[g->entryCount].move = move;
    g->entryCount++;
  }
  g->movesPlayed++;

  memcpy(&rootPosition.ownBits, &child.ownBits, sizeof(Position) - POSITION_BODY);
  rootPosition.parent = nullptr;
  rootPosition.matedScore = -(MATE_SCORE - 1);
  resetPicker(&rootPosition);
  addHistoryKey(rootPosition.key, rootPosition.halfMoveClock);

  stopwatchStart(rootPosition.side > 0 ? &g->whiteClock : &g->blackClock);
  if (rootPosition.side > 0) g->moveNumber++;
  return 0;
}

void initEngineCore() {
  initKeys();
  initBitboards();
  initBoard(&gameBoard);
}
