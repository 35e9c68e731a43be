// FEN reading: the board, side, castling and e.p. fields of a FEN text into
// the game record's start fields.
#include "engine/board/game/fen.h"

#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/game/stopwatch.h"

static const char START_FEN[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR W KQkq -";

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
  if (!readPlacement(f.board, grid)) return -1;
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

bool readPlacement(const char *field, int8_t grid[128]) { return readBoardField(field, grid) && legalPlacement(grid); }
