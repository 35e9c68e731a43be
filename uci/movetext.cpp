#include "uci/movetext.h"

#include <cctype>
#include <cstring>

#include "engine/board/game/game.h"
#include "engine/board/moves/attacks.h"
#include "engine/board/moves/movegen.h"
#include "uci/legal.h"
#include "uci/output.h"
#include "uci/state.h"

namespace {

bool isUnderPromotionTo(int toByte, int lowA, int lowB) {
  int b = toByte & 0xF0;
  return b == lowA || b == lowB;
}

// Neither side has mating material (the set-up rule, on the live piece counts).
// The position's cannot-win bits are not used: make-move also sets them after
// 100 reversible plies, which is no shortage of material.
bool insufficientMaterial(const Board *b) {
  auto cannotMate = [b](int pawn, int knight, int bishop, int rook, int queen) {
    int n = b->kinds[knight].count, bi = b->kinds[bishop].count;
    return b->kinds[pawn].count == 0 && b->kinds[rook].count == 0 && b->kinds[queen].count == 0 &&
           ((bi == 0 && n < 3) || bi + n <= 1);
  };
  return cannotMate(WHITE_PAWN, WHITE_KNIGHT, WHITE_BISHOP, WHITE_ROOK, WHITE_QUEEN) &&
         cannotMate(BLACK_PAWN, BLACK_KNIGHT, BLACK_BISHOP, BLACK_ROOK, BLACK_QUEEN);
}

}  // namespace

int matchMoveText(const Board *board, Move move, const char *text) {
  size_t len = strnlen(text, MOVE_TEXT_LIMIT);
  if (len == 0 || len >= (size_t)MOVE_TEXT_LIMIT) return 0;
  char s[MOVE_TEXT_LIMIT];
  memcpy(s, text, len + 1);
  if (s[len - 1] == '+' || s[len - 1] == '#' || s[len - 1] == '!') s[--len] = 0;

  int from = moveFrom(move);
  int toByte = moveToByte(move) & 0xFF;
  int signedTo = (int8_t)toByte;
  int to = realTo(move);
  if (!onBoard(from) || !onBoard(to)) return 0;
  const PieceRecord *piece = board->squareArray[128 + from];
  bool isKing = piece->colour != 0 && piece->desc.kind == KING;

  if (!strcmp(s, "O-O") || !strcmp(s, "0-0")) return isKing && to - from == 2;
  if (!strcmp(s, "O-O-O") || !strcmp(s, "0-0-0")) return isKing && from - to == 2;

  int end = (int)len;
  // promotion letter
  if (end > 0) {
    char c = s[end - 1];
    if (c == 'Q' || c == 'q') {
      if (signedTo < 0) return 0;
      end--;
    } else if (c == 'R' || c == 'r') {
      if (!isUnderPromotionTo(toByte, 0x80, 0xF0)) return 0;
      end--;
    } else if (c == 'B' || c == 'b') {
      if (!isUnderPromotionTo(toByte, 0x90, 0xE0)) return 0;
      end--;
    } else if (c == 'N' || c == 'n') {
      if (!isUnderPromotionTo(toByte, 0xA0, 0xD0)) return 0;
      end--;
    }
  }
  // to-square
  if (end < 2) return 0;
  if (s[end - 1] != '1' + rankOf(to) || s[end - 2] != 'a' + fileOf(to)) return 0;
  end -= 2;
  // separator
  if (end >= 2 && (s[end - 1] == '-' || s[end - 1] == 'x')) end--;
  // from-rank, from-file
  if (end > 0 && s[end - 1] >= '1' && s[end - 1] <= '8') {
    if (s[end - 1] != '1' + rankOf(from)) return 0;
    end--;
  }
  if (end > 0 && s[end - 1] >= 'a' && s[end - 1] <= 'h') {
    if (s[end - 1] != 'a' + fileOf(from)) return 0;
    end--;
  }
  if (end == 0) return 1;
  // a piece letter
  if (end != 1 || piece->colour == 0 || piece->desc.kind == PAWN) return 0;
  return s[0] == toupper((unsigned char)piece->desc.letter);
}

Move parseMove(const char *text) {
  if (strnlen(text, MOVE_TEXT_LIMIT) >= (size_t)MOVE_TEXT_LIMIT) return NO_MOVE;
  Move list[MAX_LEGAL_MOVES];
  int n = legalMoves(&rootPosition, list, MAX_LEGAL_MOVES);
  for (int i = 0; i < n; i++)
    if (matchMoveText(rootPosition.pg, list[i], text)) return list[i];
  return NO_MOVE;
}

int gameResult(Position *p) {
  if (insufficientMaterial(p->pg)) {
    gameState = 1;
    return GAME_INSUFFICIENT;
  }
  gameState = 3;
  // Repetition: the third sighting of the position since the last irreversible move.
  bool threefold = p->shuffleCount >= 6 || keySightings(&gameRecord, p->key) >= 3;
  if (threefold) {
    gameState = 1;
    return GAME_REPETITION;
  }
  Move list[MAX_LEGAL_MOVES];
  int n = legalMoves(p, list, MAX_LEGAL_MOVES);
  if (n == 0) {
    if (kingAttacked(p, p->side)) {
      gameState = p->side > 0 ? 2 : 0;
      return GAME_CHECKMATE;
    }
    gameState = 1;
    return GAME_STALEMATE;
  }
  if (p->halfMoveClock >= 100) {
    gameState = 1;
    return GAME_FIFTY_MOVES;
  }
  return gameRecord.entryCount >= MAX_GAME_ENTRIES ? GAME_RECORD_FULL : GAME_GOES_ON;
}

int recordGameMove(Move move, bool isLast) {
  playGameMove(move);
  return isLast ? gameResult(&rootPosition) : GAME_GOES_ON;
}

const char *resultText(int state) {
  switch (state) {
    case 0: return "1-0";
    case 1: return "1/2-1/2";
    case 2: return "0-1";
    default: return "*";
  }
}

const char *resultDescription(int code) {
  switch (code) {
    case GAME_CHECKMATE: return "checkmate";
    case GAME_STALEMATE: return "stalemate";
    case GAME_REPETITION: return "draw by repetition";
    case GAME_INSUFFICIENT: return "draw due to insufficient material";
    case GAME_FIFTY_MOVES: return "draw due to 50-move rule";
    case GAME_RECORD_FULL: return "move list overflow";
    default: return "";
  }
}

int playPositionMove(const char *text, bool isLast) {
  Move move = parseMove(text);
  if (moveFrom(move) == NO_SQUARE) return 0;
  if (engineOps.playMove) engineOps.playMove(move, ' ');
  currentGame.moves.push_back(move);
  int code = recordGameMove(move, isLast);
  if (code != GAME_GOES_ON) uciPrint("info string result %s %s", resultText(gameState), resultDescription(code));
  return 1;
}
