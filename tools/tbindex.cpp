// Debugging tool for the tablebase index.
//
//   tbindex --lengths   one line per table: "id name flags length0 length1"
//   tbindex             reads FEN lines on standard input and prints for each
//                       "id name side index" as the probe computes it (material
//                       looked up with colour reversal, invert flag, e.p. square
//                       0 -> 127, table side 0 when the table's first side is to
//                       move), or "miss" when no table has the material or the
//                       line holds no readable board.
#include <cstdio>
#include <cstring>
#include <string>

#include "tablebases/descriptor.h"
#include "tablebases/enumerations.h"

namespace {

constexpr int NO_EP = 127;
constexpr int KING_SLOT = 15;
constexpr int SLOTS_PER_KIND = 3;
constexpr int MAX_MEN = 4;  // besides the kings
constexpr const char* KIND_LETTERS = "PNBRQ";  // kinds 0..4, slots 3 * kind + n
constexpr const char* NAME_ORDER = "qrbnp";

struct Board {
  int kind[64];  // 0..4 men, 5 king, -1 empty
  int colour[64];
  bool whiteToMove;
  int epSquare;  // 0 = none
};

bool parseFen(const char* line, Board* b) {
  for (int s = 0; s < 64; s++) b->kind[s] = -1;
  int rank = 7, file = 0;
  const char* p = line;
  while (*p == ' ') p++;
  for (; *p && *p != ' '; p++) {
    if (*p == '/') {
      if (file != 8 || rank == 0) return false;
      rank--;
      file = 0;
    } else if (*p >= '1' && *p <= '8') {
      file += *p - '0';
    } else {
      const char upper = static_cast<char>(*p & ~0x20);
      const char* k = strchr("PNBRQK", upper);
      if (k == nullptr || upper == 0 || file > 7) return false;
      b->kind[rank * 8 + file] = static_cast<int>(k - "PNBRQK");
      b->colour[rank * 8 + file] = (*p == upper) ? 0 : 1;
      file++;
    }
    if (file > 8) return false;
  }
  if (rank != 0 || file != 8) return false;
  char side = 0, castling[8] = "", ep[8] = "";
  if (sscanf(p, " %c %7s %7s", &side, castling, ep) < 1 || (side != 'w' && side != 'b')) return false;
  b->whiteToMove = side == 'w';
  b->epSquare = 0;
  if (ep[0] >= 'a' && ep[0] <= 'h' && ep[1] >= '1' && ep[1] <= '8') b->epSquare = (ep[1] - '1') * 8 + (ep[0] - 'a');
  return true;
}

// "k" + men in name order, per colour.
std::string sideName(const int counts[5]) {
  std::string s = "k";
  for (const char* l = NAME_ORDER; *l; l++)
    s.append(counts[strchr("pnbrq", *l) - "pnbrq"], *l);
  return s;
}

int findTable(const std::string& name) {
  for (int id = 1; id <= TB_MAX_ID; id++)
    if (name == tbDescriptors[id].name) return id;
  return 0;
}

void probeLine(const char* line) {
  Board b;
  if (!parseFen(line, &b)) {
    printf("miss\n");
    return;
  }
  int counts[2][5] = {}, kings[2] = {}, men = 0;
  for (int s = 0; s < 64; s++) {
    if (b.kind[s] < 0) continue;
    if (b.kind[s] == 5) kings[b.colour[s]]++;
    else {
      counts[b.colour[s]][b.kind[s]]++;
      men++;
    }
  }
  if (kings[0] != 1 || kings[1] != 1 || men > MAX_MEN) {
    printf("miss\n");
    return;
  }
  const std::string white = sideName(counts[0]), black = sideName(counts[1]);
  int id = findTable(white + black);
  int invert = 0;
  if (id == 0) {
    id = findTable(black + white);
    invert = 1;
  }
  if (id == 0) {
    printf("miss\n");
    return;
  }
  // Square arrays as the probe fills them: slot 3 * kind + n, king in 15.
  TbSideSquares squares[2];
  int placed[2][5] = {};
  for (int c = 0; c < 2; c++)
    for (int i = 0; i < TB_SIDE_SLOTS; i++) squares[c][i] = -1;
  for (int s = 0; s < 64; s++) {
    const int k = b.kind[s], c = b.colour[s];
    if (k < 0) continue;
    if (k == 5) squares[c][KING_SLOT] = s;
    else if (placed[c][k] < SLOTS_PER_KIND) squares[c][SLOTS_PER_KIND * k + placed[c][k]++] = s;
  }
  const int32_t* first = invert ? squares[1] : squares[0];
  const int32_t* second = invert ? squares[0] : squares[1];
  const int side = (b.whiteToMove != (invert == 1)) ? 0 : 1;
  const int ep = b.epSquare == 0 ? NO_EP : b.epSquare;
  const uint64_t index = tbDescriptors[id].indexFn[side](first, second, ep, invert);
  printf("%d %s %d %llu\n", id, tbDescriptors[id].name, side, static_cast<unsigned long long>(index));
}

}  // namespace

int main(int argc, char** argv) {
  initEnumerations();
  if (argc > 1 && strcmp(argv[1], "--lengths") == 0) {
    for (int id = 1; id <= TB_MAX_ID; id++) {
      const TbDescriptor& d = tbDescriptors[id];
      printf("%d %s %d %lld %lld\n", id, d.name, d.flags, static_cast<long long>(d.length[0]),
             static_cast<long long>(d.length[1]));
    }
    return 0;
  }
  if (argc > 1) {
    fprintf(stderr, "usage: tbindex [--lengths] < fen-lines\n");
    return 2;
  }
  char line[512];
  while (fgets(line, sizeof line, stdin)) {
    line[strcspn(line, "\r\n")] = 0;
    if (line[0] == 0) continue;
    probeLine(line);
    fflush(stdout);
  }
  return 0;
}
