// Helpers of the move-generation and make-move tests: positions from FEN on
// the game board, coordinate move words, move lists by stage.
#pragma once
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "bench/perft_walk.h"
#include "engine/board/tables/bitboard.h"
#include "engine/search/ordering/history.h"

namespace movetest {

inline int square(const char *s) { return (s[0] - 'a') + (s[1] - '1') * 16; }

// "e7e8" (queen promotion when it reaches the last rank), "e7e8r" / "b" / "n"
// under-promotions, encoded beyond the last rank.
inline Move word(const char *text) {
  int from = square(text), to = square(text + 2);
  int toByte = to;
  int extra = 0;
  switch (text[4]) {
    case 'r': extra = 1; break;
    case 'b': extra = 2; break;
    case 'n': extra = 3; break;
    default: break;
  }
  if (extra) toByte = rankOf(to) == 7 ? to + 16 * extra : to - 16 * extra;
  return makeMoveWord(from, toByte);
}

inline std::string text(Move m) {
  int from = moveFrom(m), to = realTo(m);
  std::string s;
  s += (char)('a' + (from & 7));
  s += (char)('1' + (from >> 4));
  s += (char)('a' + (to & 7));
  s += (char)('1' + (to >> 4));
  if ((int16_t)m < 0) {
    int band = moveToByte(m) & 0xF0;
    s += (band == 0x80 || band == 0xF0) ? 'r' : (band == 0x90 || band == 0xE0) ? 'b' : 'n';
  }
  return s;
}

inline std::vector<std::string> texts(const Move *begin, const Move *end) {
  std::vector<std::string> v;
  for (const Move *m = begin; m < end; m++) v.push_back(text(*m));
  return v;
}

// The moves as the searches take them: from the top of the stack down.
inline std::vector<std::string> popOrder(const Position *pos) {
  std::vector<std::string> v;
  for (const Move *m = pos->moveCursor; m > pos->moveList;) v.push_back(text(*--m));
  return v;
}

inline Position *position(perft::Stack *s, const char *fen) {
  EXPECT_TRUE(perft::setUp(s, fen)) << fen;
  return &s->ply[0];
}

inline std::vector<std::string> captures(Position *pos) {
  pos->moveCursor = pos->moveList;
  genCaptures(pos);
  return texts(pos->moveList, pos->moveCursor);
}

inline std::vector<std::string> quietOf(Position *pos, int sq) {
  pos->moveCursor = pos->moveList;
  pos->pieceCursor = pos->pg->at(sq);
  genPieceQuietMoves(pos);
  return texts(pos->moveList, pos->moveCursor);
}

inline bool has(const std::vector<std::string> &v, const std::string &m) {
  for (const std::string &x : v)
    if (x == m) return true;
  return false;
}

// Clears what tests may have filled: prepared tables, values, history.
inline void clearTables(Board *b) {
  memset(&b->prepared, 0, sizeof b->prepared);
  for (PieceKind &k : b->kinds) k.currentValue = 0;
  for (PieceListHead *h : {&b->white, &b->black}) memset(h->pawnTerms, 0, sizeof h->pawnTerms);
  for (PieceRecord &r : b->pieces) r.value = 0;
  memset(&historyTable, 0, sizeof historyTable);
}

}  // namespace movetest
