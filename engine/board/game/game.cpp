// The module's game: FEN reading, building the board and root position from
// it, and appending game moves to the game record.
#include "engine/board/game/game.h"

#include <cstring>

#include "engine/board/tables/bitboard.h"
#include "engine/search/hash.h"
#include "module/interface.h"
#include "engine/board/moves/makemove.h"
#include "engine/board/moves/movegen.h"
#include "engine/smp/threads.h"
#include "platform/platform.h"

Board gameBoard;
Position rootPosition;
GameRecord gameRecord;
int32_t engineSide = 1;

// Zero square table of the empty kind.
static int16_t emptySquareTable[120];

static const char START_FEN[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR W KQkq -";

// The PieceCode each of the 33 records starts as (index order of the Board).
static const int8_t recordCode[33] = {
    BLACK_KING,   BLACK_QUEEN,  BLACK_ROOK,   BLACK_ROOK,   BLACK_BISHOP, BLACK_BISHOP, BLACK_KNIGHT,
    BLACK_KNIGHT, BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,   BLACK_PAWN,
    BLACK_PAWN,   BLACK_PAWN,   EMPTY_CODE,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,
    WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_PAWN,   WHITE_KNIGHT, WHITE_KNIGHT, WHITE_BISHOP,
    WHITE_BISHOP, WHITE_ROOK,   WHITE_ROOK,   WHITE_QUEEN,  WHITE_KING};

static int codeOfLetter(int c) {
  switch (c) {
    case 'k': return BLACK_KING;
    case 'q': return BLACK_QUEEN;
    case 'r': return BLACK_ROOK;
    case 'b': return BLACK_BISHOP;
    case 'n': return BLACK_KNIGHT;
    case 'p': return BLACK_PAWN;
    case 'P': return WHITE_PAWN;
    case 'N': return WHITE_KNIGHT;
    case 'B': return WHITE_BISHOP;
    case 'R': return WHITE_ROOK;
    case 'Q': return WHITE_QUEEN;
    case 'K': return WHITE_KING;
    default: return -1;
  }
}

static void assignKind(PieceRecord *r, PieceKind *kind) {
  r->kind = kind;
  r->desc = *kind;
}

static void initEmptyRecord(Board *b, PieceRecord *r) {
  r->next = r->prev = b->end();
  r->square = NO_SQUARE;
  r->value = 0;
  r->colour = 0;
  assignKind(r, &b->kinds[EMPTY_CODE]);
  r->board = b;
}

void initBoard(Board *b) {
  for (int c = 0; c < 13; c++) {
    PieceKind *k = &b->kinds[c];
    *k = PieceType[c];
    k->next = c < 12 ? &b->kinds[c + 1] : nullptr;
    int t = tableIndexOfCode(c);
    k->squareTable = t >= 0 ? b->prepared.square[t] : emptySquareTable;
    k->count = 0;
  }
  b->headBySide[0] = b->listHeads[0] = &b->black;
  b->headBySide[1] = b->listHeads[1] = nullptr;
  b->headBySide[2] = b->listHeads[2] = &b->white;
  b->endRecordBySide[0] = &b->pieces[0];
  b->endRecordBySide[1] = nullptr;
  b->endRecordBySide[2] = &b->pieces[32];
  b->white.other = &b->black;
  b->black.other = &b->white;
  b->white.quiesceMask = ~0x1000;
  b->black.quiesceMask = ~0x2000;
  b->nodeCount = 0;
  b->splitEpoch = splitEpochCounter.load(std::memory_order_relaxed);
  b->threadId = 1;
  b->masterBoard = b;
  b->splitPoint = &noSplitPosition;
  resetBoard(b);
}

void resetBoard(Board *b) {
  initEmptyRecord(b, &b->sentinel);
  initEmptyRecord(b, &b->offBoard);
  for (PieceListHead *h : {&b->white, &b->black}) {
    initEmptyRecord(b, &h->node);
    memset(h->pawnFileCount, 0, sizeof h->pawnFileCount);
  }
  for (int i = 0; i < 384; i++) b->squareArray[i] = &b->offBoard;
  for (int sq = 0; sq < 128; sq++)
    if (onBoard(sq) || sq == NO_SQUARE) b->squares()[sq] = b->end();
  for (int i = 0; i < 33; i++) {
    PieceRecord *r = &b->pieces[i];
    initEmptyRecord(b, r);
    assignKind(r, &b->kinds[recordCode[i]]);
  }
  for (int c = 0; c < 13; c++) b->kinds[c].count = 0;
  b->material = 0;
  b->menCount = 0;
}

// ---- FEN reading ----

// Start fields parsed from a FEN text, committed only when the whole text is valid.
struct FenFields {
  char board[FEN_BUFFER_SIZE];
  int side, castling, epSquare, startMoveNumber;
};

static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Places the pieces of a board field on a 0x88 grid of codes (6 empty).
// Returns false when the field is malformed or cannot be given records.
static bool readBoardField(const char *field, int8_t grid[128]) {
  for (int i = 0; i < 128; i++) grid[i] = EMPTY_CODE;
  int used[33] = {0};
  int rank = 7, file = 0;
  for (const char *p = field; *p; p++) {
    char c = *p;
    if (isBlank(c)) continue;
    if (rank < 0) return false;  // text after h1
    if (c == '/') {
      if (file != 8) return false;
      rank--;
      file = 0;
      if (rank < 0) return false;
      continue;
    }
    if (c >= '1' && c <= '8') {
      file += c - '0';
      if (file > 8) return false;
    } else {
      int code = codeOfLetter(c);
      if (code < 0 || file > 7) return false;
      // first free record of this letter, else the first free pawn record of the colour
      int rec = -1;
      for (int i = 0; i < 33 && rec < 0; i++)
        if (!used[i] && recordCode[i] == code) rec = i;
      if (rec < 0 && code != WHITE_KING && code != BLACK_KING) {
        int pawn = code > EMPTY_CODE ? WHITE_PAWN : BLACK_PAWN;
        for (int i = 0; i < 33 && rec < 0; i++)
          if (!used[i] && recordCode[i] == pawn) rec = i;
      }
      if (rec < 0) return false;
      used[rec] = 1;
      grid[rank * 16 + file] = (int8_t)code;
      file++;
    }
    if (rank == 0 && file == 8) rank = -1;  // complete after h1
  }
  return rank < 0;
}

// The e.p. square is kept only when a pawn of the side that just moved could
// have made the double step onto the square in front of it.
static bool epConsistent(const int8_t grid[128], int side, int ep) {
  if (side > 0) {
    return rankOf(ep) == 5 && grid[ep - 16] == BLACK_PAWN && grid[ep] == EMPTY_CODE && grid[ep + 16] == EMPTY_CODE;
  }
  return rankOf(ep) == 2 && grid[ep + 16] == WHITE_PAWN && grid[ep] == EMPTY_CODE && grid[ep - 16] == EMPTY_CODE;
}

static bool legalPlacement(const int8_t grid[128]) {
  int whiteKings = 0, blackKings = 0;
  for (int sq = 0; sq < 128; sq++) {
    if (!onBoard(sq)) continue;
    int c = grid[sq];
    if (c == WHITE_KING) whiteKings++;
    if (c == BLACK_KING) blackKings++;
    if ((c == WHITE_PAWN || c == BLACK_PAWN) && (rankOf(sq) == 0 || rankOf(sq) == 7)) return false;
  }
  return whiteKings == 1 && blackKings == 1;
}

static int parseFenFields(const char *text, FenFields *out) {
  out->side = 1;
  out->castling = 30;
  out->epSquare = NO_SQUARE;
  out->startMoveNumber = text ? 21 : 1;
  const char *src = text ? text : START_FEN;
  size_t len = strlen(src);
  if (len >= FEN_BUFFER_SIZE) return -1;
  char buf[FEN_BUFFER_SIZE];
  memcpy(buf, src, len + 1);

  char *p = buf;
  while (isBlank(*p)) p++;
  char *boardStart = p;
  while (*p && !isBlank(*p)) p++;
  if (*p) *p++ = 0;
  strcpy(out->board, boardStart);

  // side field
  while (isBlank(*p)) p++;
  if (!*p) return -1;
  if (*p == 'w' || *p == 'W') out->side = 1;
  else if (*p == 'b' || *p == 'B') out->side = -1;
  else return -1;
  p++;
  if (*p && !isBlank(*p)) return -1;

  // castling field
  while (isBlank(*p)) p++;
  if (!*p) return 0;
  if (*p == '-' || strncmp(p, "nil", 3) == 0) {
    out->castling = 0;
    p += *p == '-' ? 1 : 3;
    if (*p && !isBlank(*p)) return -1;
  } else {
    out->castling = 0;
    for (; *p && !isBlank(*p); p++) {
      switch (*p) {
        case 'K': out->castling |= 2; break;
        case 'Q': out->castling |= 8; break;
        case 'k': out->castling |= 4; break;
        case 'q': out->castling |= 16; break;
        default: return -1;
      }
    }
  }

  // e.p. field
  while (isBlank(*p)) p++;
  if (!*p) return 0;
  if (*p == '-' || strncmp(p, "nil", 3) == 0) {
    p += *p == '-' ? 1 : 3;
  } else {
    if (p[0] < 'a' || p[0] > 'h' || p[1] < '1' || p[1] > '8') return -1;
    out->epSquare = (p[0] - 'a') + (p[1] - '1') * 16;
    p += 2;
  }
  if (*p && !isBlank(*p)) return -1;
  return 0;  // half-move clock and move number are not read
}

int parseFen(const char *text) {
  FenFields f;
  if (parseFenFields(text, &f) != 0) return -1;
  int8_t grid[128];
  if (!readBoardField(f.board, grid) || !legalPlacement(grid)) return -1;
  if (f.epSquare != NO_SQUARE && !epConsistent(grid, f.side, f.epSquare)) f.epSquare = NO_SQUARE;

  GameRecord *g = &gameRecord;
  g->startEpSquare = f.epSquare;
  g->startCastling = f.castling;
  g->movesPlayed = 0;
  g->entryCount = 0;
  g->startMoveNumber = f.startMoveNumber;
  g->startHalfMoveClock = 0;
  g->startSide = f.side;
  stopwatchClear(&g->whiteClock);
  stopwatchClear(&g->blackClock);
  strcpy(g->fenBuffer, f.board);
  return 0;
}

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
  Board *b = &gameBoard;
  int8_t grid[128];
  if (!readBoardField(record->fenBuffer, grid) || !legalPlacement(grid)) return -1;

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
  engineSide = -side;
  root->ownPieces = b->listHeads[side + 1];
  root->halfMoveClock = 0;
  int rights = record->startCastling;
  if (grid[0x04] != WHITE_KING) rights &= ~(2 | 8);
  if (grid[0x74] != BLACK_KING) rights &= ~(4 | 16);
  root->statusFlags = rights;
  root->epSquare = record->startEpSquare;
  if (root->epSquare != NO_SQUARE) root->nodeFlags |= 4;

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
  int cannotWin = activeSettings.reserved2 != 0;
  b->white.cannotWinMask = cannotWin ? 0x20 : 0;
  b->black.cannotWinMask = cannotWin ? 0x40 : 0;

  // mating material
  root->statusFlags &= ~(0x20 | 0x40);
  const PieceKind *k = b->kinds;
  auto cannotMate = [](int pawns, int knights, int bishops, int rooks, int queens) {
    return pawns == 0 && rooks == 0 && queens == 0 && ((bishops == 0 && knights < 3) || bishops + knights <= 1);
  };
  if (cannotMate(k[WHITE_PAWN].count, k[WHITE_KNIGHT].count, k[WHITE_BISHOP].count, k[WHITE_ROOK].count,
                 k[WHITE_QUEEN].count))
    root->statusFlags |= 0x20;
  if (cannotMate(k[BLACK_PAWN].count, k[BLACK_KNIGHT].count, k[BLACK_BISHOP].count, k[BLACK_ROOK].count,
                 k[BLACK_QUEEN].count))
    root->statusFlags |= 0x40;

  record->moveNumber = record->startMoveNumber;
  return 0;
}

void addHistoryKey(uint64_t key, int index) {
  if (index >= MAX_HISTORY_KEYS) index = MAX_HISTORY_KEYS - 1;  // past capacity keep the last slot
  if (index >= 0) gameRecord.historyKeys[index] = key;
  gameRecord.historyKeyCount = index + 1;
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
