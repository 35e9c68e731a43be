// tb_tables: tablebase files and values from the tests' endgame solver, for
// the scripted sessions.
//   tb_tables write DIR [compressed] [NAME...]  writes the named tables (default
//                                     kpk, krk, kqk, kqkr, kbnk, kbbk)
//   tb_tables value FEN [MOVE]        the solver's value of the position (after
//                                     the coordinate move, when given)
//   tb_tables longest NAME [black]    a position of the longest win for White
//                                     to move (with "black": colours reversed)
#include <cassert>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/tb_table_writer.h"

namespace {

// A FEN's board as 64 characters (0 for empty), a1 first.
void boardOfFen(const char* fen, char* board) {
  memset(board, 0, 64);
  int rank = 7, file = 0;
  for (const char* p = fen; *p && *p != ' '; p++) {
    if (*p == '/') rank--, file = 0;
    else if (*p >= '1' && *p <= '8') file += *p - '0';
    else board[rank * 8 + file++] = *p;
  }
}

std::string fenOfBoard(const char* board, bool whiteToMove) {
  std::string fen;
  for (int r = 7; r >= 0; r--) {
    int empty = 0;
    for (int f = 0; f < 8; f++) {
      const char c = board[r * 8 + f];
      if (!c) {
        empty++;
        continue;
      }
      if (empty) fen += char('0' + empty), empty = 0;
      fen += c;
    }
    if (empty) fen += char('0' + empty);
    if (r) fen += '/';
  }
  return fen + (whiteToMove ? " w - - 0 1" : " b - - 0 1");
}

// Is the text a coordinate move (e2e4, e7e8q)?
bool isCoordinateMove(const char* move) {
  const size_t n = strlen(move);
  return (n == 4 || n == 5) && move[0] >= 'a' && move[0] <= 'h' && move[1] >= '1' && move[1] <= '8' &&
         move[2] >= 'a' && move[2] <= 'h' && move[3] >= '1' && move[3] <= '8';
}

// Plays a coordinate move (e7e8q) on a FEN: no castling or e.p. arises here.
std::string playMove(const char* fen, const char* move) {
  assert(isCoordinateMove(move));
  char board[64];
  boardOfFen(fen, board);
  const int from = (move[1] - '1') * 8 + (move[0] - 'a'), to = (move[3] - '1') * 8 + (move[2] - 'a');
  char piece = board[from];
  if (move[4]) piece = piece >= 'a' ? move[4] : char(move[4] - 32);
  board[to] = piece;
  board[from] = 0;
  const char* side = strchr(fen, ' ');
  return fenOfBoard(board, side && side[1] == 'b');
}

// The men of a FEN's board as solver square arrays (king first, then the
// men in signature order) and the signature; false when it is no position
// the solver knows.
bool parseFen(const char* fen, std::string& signature, std::vector<int>& white, std::vector<int>& black,
              bool& whiteToMove) {
  std::string whiteMen, blackMen;
  std::vector<std::pair<char, int>> men;
  int rank = 7, file = 0;
  const char* p = fen;
  for (; *p && *p != ' '; p++) {
    if (*p == '/') {
      rank--, file = 0;
    } else if (*p >= '1' && *p <= '8') {
      file += *p - '0';
    } else {
      men.push_back({*p, rank * 8 + file});
      file++;
    }
  }
  whiteToMove = !(p[0] == ' ' && p[1] == 'b');
  white.assign(1, -1);
  black.assign(1, -1);
  for (const char* order = "qrbnp"; *order; order++)
    for (auto [c, sq] : men) {
      if (c == *order - 32) whiteMen += *order, white.push_back(sq);
      if (c == *order) blackMen += *order, black.push_back(sq);
    }
  for (auto [c, sq] : men) {
    if (c == 'K') white[0] = sq;
    if (c == 'k') black[0] = sq;
  }
  signature = "k" + whiteMen + "k" + blackMen;
  return white[0] >= 0 && black[0] >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "write")) {
    int arg = 3;
    const bool compressed = argc > arg && !strcmp(argv[arg], "compressed");
    if (compressed) arg++;
    std::vector<int> ids;
    for (int id : tbwriter::SOLVED_IDS) {
      bool named = arg >= argc;
      for (int i = arg; i < argc; i++) named |= !strcmp(argv[i], tbDescriptors[id].name);
      if (named) ids.push_back(id);
    }
    return tbwriter::writeSolvedTables(argv[2], compressed, ids) ? 0 : 1;
  }
  if (argc >= 3 && !strcmp(argv[1], "value")) {
    if (argc >= 4 && !isCoordinateMove(argv[3])) return 1;  // no move (a search that gave none)
    std::string signature, fen = argc >= 4 ? playMove(argv[2], argv[3]) : argv[2];
    std::vector<int> white, black;
    bool whiteToMove;
    const SolverTable* table =
        parseFen(fen.c_str(), signature, white, black, whiteToMove) ? solveTable(signature.c_str()) : nullptr;
    if (!table) return 1;
    printf("%d\n", solverValue(table, white.data(), black.data(), whiteToMove));
    return 0;
  }
  if (argc >= 3 && !strcmp(argv[1], "longest")) {
    const std::string name = argv[2];
    int best = 0;
    const bool reversed = argc >= 4 && !strcmp(argv[3], "black");
    std::string fen;
    tbwriter::forEachSolvedPosition(name, [&](const int* w, const int* b, bool whiteToMove, int value) {
      if (!whiteToMove || value <= best) return;
      best = value;
      // White's men upper case; reversed: ranks mirrored, colours and side swapped.
      char board[64];
      memset(board, 0, sizeof board);
      const size_t second = name.find('k', 1);
      const int flip = reversed ? 56 : 0;
      auto put = [&](int sq, char letter, bool white) { board[sq ^ flip] = white != reversed ? char(letter - 32) : letter; };
      put(w[0], 'k', true);
      put(b[0], 'k', false);
      for (size_t i = 1; i < second; i++) put(w[i], name[i], true);
      for (size_t i = second + 1; i < name.size(); i++) put(b[i - second], name[i], false);
      fen = fenOfBoard(board, !reversed);
    });
    printf("%s\n%d\n", fen.c_str(), best);
    return best > 0 ? 0 : 1;
  }
  fprintf(stderr, "usage: tb_tables write DIR [compressed] | value FEN | longest NAME\n");
  return 2;
}
