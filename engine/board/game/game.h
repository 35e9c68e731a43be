// The game: its record (start fields, moves played, clocks, the keys of the
// positions since the last irreversible move), the root position set up from
// it, and game moves.
#pragma once
#include "engine/board/game/stopwatch.h"
#include "engine/board/position.h"

// ---- game record ----
constexpr int FEN_BUFFER_SIZE = 256;
constexpr int MAX_GAME_ENTRIES = 2048;
constexpr int MAX_HISTORY_KEYS = 1024;

struct GameEntry {
  int32_t thinkMs;
  Move move;
};

struct GameRecord {
  char fenBuffer[FEN_BUFFER_SIZE];
  int32_t startSide;
  int32_t startCastling;
  int32_t startEpSquare;
  int32_t startHalfMoveClock;
  int32_t startMoveNumber;
  int32_t entryCount;
  int32_t movesPlayed;
  GameEntry entries[MAX_GAME_ENTRIES];
  Stopwatch whiteClock;
  Stopwatch blackClock;
  int32_t moveNumber;
  uint64_t historyKeys[MAX_HISTORY_KEYS];
  int32_t historyKeyCount;
};

extern Board gameBoard;           // the board of thread 0
extern Position rootPosition;     // root of every search
extern GameRecord gameRecord;

// Builds the game board and the root position from the record's start fields.
int setupPosition(Position *root, GameRecord *record);
int playGameMove(Move move);
void addHistoryKey(uint64_t key, int index);
// How often the key occurs among the record's keys of the positions since the
// last irreversible move (the current position included).
int keySightings(const GameRecord *record, uint64_t key);
// Keys, attack tables and the game board (no table): safe to run more than once.
void initEngineCore();
