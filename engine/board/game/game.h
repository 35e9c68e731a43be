// The module's one game: FEN reading, position set-up, game moves.
#pragma once
#include "engine/board/board.h"

extern Board gameBoard;           // the board of thread 0
extern Position rootPosition;     // root of every search
extern GameRecord gameRecord;
extern int32_t engineSide;        // side to move at the root of the current search

// Returns 0 when accepted, -1 when malformed. A rejected text leaves the game untouched.
int parseFen(const char *text);
int setupPosition(Position *root, GameRecord *record);
int playGameMove(Move move);
void addHistoryKey(uint64_t key, int index);
void initBoard(Board *board);
// Resets a Board to an empty position (lists, square array, records).
void resetBoard(Board *board);
