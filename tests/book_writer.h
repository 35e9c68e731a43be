// Test helper: writes opening-book files (sorted 12-byte records) from lines
// of moves, using the engine core's own set-up, game moves and keys.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "uci/movetext.h"

namespace bookwriter {

struct Record {
  uint64_t key;
  Move move;
  uint16_t weight;
};

// Sets up the game from a FEN (null: the start position).
inline bool setGame(const char *fen) {
  return parseFen(fen) == 0 && setupPosition(&rootPosition, &gameRecord) == 0;
}

// The legal move of the game's root position that a move text names
// ("e2e4", "e7e8n", "Nf3"), or NO_MOVE.
inline Move moveOfText(const char *text) { return parseMove(text); }

// Plays a line of blank-separated moves on the game; false when a
// move is not legal.
inline bool playLine(const char *moves) {
  char buf[4096];
  snprintf(buf, sizeof buf, "%s", moves ? moves : "");
  for (char *t = strtok(buf, " "); t; t = strtok(nullptr, " ")) {
    Move m = moveOfText(t);
    if (m == NO_MOVE) return false;
    playGameMove(m);
  }
  return true;
}

// Key of the position after a line from a FEN; 0 when the line is not legal.
inline uint64_t keyAfter(const char *fen, const char *moves) {
  if (!setGame(fen) || !playLine(moves)) return 0;
  return rootPosition.key;
}

// One record: the position after `moves` from `fen`, and `moveText` played
// there (the move word taken as it is when moveText is null).
inline bool add(std::vector<Record> &records, const char *fen, const char *moves, const char *moveText,
                uint16_t weight, Move rawMove = NO_MOVE) {
  if (!setGame(fen) || !playLine(moves)) return false;
  Move m = moveText ? moveOfText(moveText) : rawMove;
  if (moveText && m == NO_MOVE) return false;
  records.push_back({rootPosition.key, m, weight});
  return true;
}

// Every position of a line gets one record of its next move.
inline bool addLine(std::vector<Record> &records, const char *fen, const char *moves, uint16_t weight) {
  if (!setGame(fen)) return false;
  char buf[4096];
  snprintf(buf, sizeof buf, "%s", moves);
  for (char *t = strtok(buf, " "); t; t = strtok(nullptr, " ")) {
    Move m = moveOfText(t);
    if (m == NO_MOVE) return false;
    records.push_back({rootPosition.key, m, weight});
    playGameMove(m);
  }
  return true;
}

inline void encode(const Record &r, uint8_t *out) {
  for (int i = 0; i < 6; i++) out[i] = (uint8_t)(r.key >> (8 * i));
  out[6] = out[7] = 0xFF;  // not read by the book
  out[8] = (uint8_t)(r.move & 0xFF);
  out[9] = (uint8_t)(r.move >> 8);
  out[10] = (uint8_t)(r.weight & 0xFF);
  out[11] = (uint8_t)(r.weight >> 8);
}

// Key bytes in file order: byte-wise, least significant byte first.
inline bool keyBefore(const Record &a, const Record &b) {
  uint8_t x[12], y[12];
  encode(a, x);
  encode(b, y);
  return memcmp(x, y, 6) < 0;
}

// Sorts (stable: records of one key keep their order) unless asked not to,
// writes the file and then `tail` extra bytes.
inline bool write(const std::string &path, std::vector<Record> records, bool sorted = true, int tail = 0) {
  if (sorted) std::stable_sort(records.begin(), records.end(), keyBefore);
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  for (const Record &r : records) {
    uint8_t bytes[12];
    encode(r, bytes);
    fwrite(bytes, 1, 12, f);
  }
  for (int i = 0; i < tail; i++) fputc(0x5A, f);
  return fclose(f) == 0;
}

}  // namespace bookwriter
