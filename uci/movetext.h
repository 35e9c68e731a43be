// Move texts of the "position" command read on the program's game copy
// (coordinate, long and short algebraic forms), the game moves played on both
// games, and the end-of-game test after the command's last move.
#pragma once
#include "engine/board/position.h"

constexpr int MOVE_TEXT_LIMIT = 20;  // no valid move text is this long

enum GameResultCode {
  GAME_GOES_ON = 0,
  GAME_CHECKMATE = 2,
  GAME_STALEMATE = 3,
  GAME_REPETITION = 4,
  GAME_INSUFFICIENT = 5,
  GAME_FIFTY_MOVES = 6,
  GAME_RECORD_FULL = 7,
};

// Does the text name this move of the board's position?
int matchMoveText(const Board *board, Move move, const char *text);
// The first legal move of the game copy's root that the text names, or NO_MOVE.
Move parseMove(const char *text);
// Plays a move on the game copy; after the command's last move the end of the
// game is tested. Returns a GameResultCode (0 when not last).
int recordGameMove(Move move, bool isLast);
// The end-of-game test of the game copy's root position; sets gameState.
int gameResult(Position *p);
// parseMove, then the move on the module and on the game copy, and the result
// line when the last move ends the game. Returns 1 played, 0 no move matches.
int playPositionMove(const char *text, bool isLast);
// "1-0", "1/2-1/2", "0-1" or "*" for gameState; the description of a code.
const char *resultText(int state);
const char *resultDescription(int code);
