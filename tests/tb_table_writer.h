// Test helper: tablebase files written from the tests' endgame solver. Every
// legal position of a solved endgame goes through the system's index function
// of its table and side; the solver's value is stored at that index as an
// 8-bit entry. Entries no legal position reaches stay unknown (127).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tablebases/descriptor.h"
#include "tablebases/enumerations.h"
#include "tests/tb_encoder.h"
#include "tests/tb_solver.h"
#include "tests/tb_test_files.h"

namespace tbwriter {

// The solvable tables: kpk, krk, kqk, kqkr, kbnk, kbbk.
constexpr int SOLVED_IDS[] = {1, 4, 5, 19, 25, 26};

constexpr int FIRST_SLOT_OF_KIND[] = {0, 3, 6, 9, 12};  // p, n, b, r, q
constexpr int KING_SLOT = 15;

inline int kindOfLetter(char c) {
  switch (c) {
    case 'p': return 0;
    case 'n': return 1;
    case 'b': return 2;
    case 'r': return 3;
    default: return 4;  // 'q'
  }
}

// One side of a position in the index functions' layout: men of a kind in
// increasing square order. letters: the side's men without the king.
inline void fillSlots(int32_t* slots, const std::string& letters, const int* squares) {
  std::vector<std::pair<int, int>> men;  // (kind, square)
  for (size_t i = 0; i < letters.size(); i++) men.push_back({kindOfLetter(letters[i]), squares[i + 1]});
  std::sort(men.begin(), men.end());
  int used[5] = {};
  for (auto [kind, sq] : men) slots[FIRST_SLOT_OF_KIND[kind] + used[kind]++] = sq;
  slots[KING_SLOT] = squares[0];
}

// Calls visit(whiteSquares, blackSquares, whiteToMove, value) for every legal
// position of the solved endgame `name` (a table name, e.g. "kqkr").
template <typename Visit>
void forEachSolvedPosition(const std::string& name, Visit visit) {
  const SolverTable* table = solveTable(name.c_str());
  if (!table) return;
  const size_t second = name.find('k', 1);
  const int whiteMen = static_cast<int>(second), men = static_cast<int>(name.size());
  int sq[SOLVER_MAX_MEN] = {};
  uint64_t total = 1;
  for (int i = 0; i < men; i++) total *= 64;
  for (uint64_t n = 0; n < total; n++) {
    uint64_t rest = n;
    for (int i = 0; i < men; i++, rest /= 64) sq[i] = static_cast<int>(rest % 64);
    for (int w = 0; w < 2; w++) {
      const int v = solverValue(table, sq, sq + whiteMen, w == 0);
      if (v != SOLVER_ILLEGAL) visit(sq, sq + whiteMen, w == 0, v);
    }
  }
}

// The entries of one side of a solved table, as its file holds them.
inline std::vector<uint8_t> solvedSideBytes(int id, int side) {
  initEnumerations();  // the index functions' tables, built once
  const TbDescriptor& d = tbDescriptors[id];
  const std::string name = d.name;
  const size_t second = name.find('k', 1);
  const std::string whiteLetters = name.substr(1, second - 1), blackLetters = name.substr(second + 1);
  std::vector<uint8_t> bytes(static_cast<size_t>(d.length[side]), static_cast<uint8_t>(SOLVER_BYTE_UNKNOWN));
  forEachSolvedPosition(name, [&](const int* white, const int* black, bool whiteToMove, int value) {
    if (whiteToMove != (side == 0)) return;
    int32_t first[TB_SIDE_SLOTS], secondSlots[TB_SIDE_SLOTS];
    fillSlots(first, whiteLetters, white);
    fillSlots(secondSlots, blackLetters, black);
    const uint64_t index = d.indexFn[side](first, secondSlots, 127, 0);
    if (index < bytes.size()) bytes[index] = static_cast<uint8_t>(solverEntryByte(value));
  });
  return bytes;
}

// Writes the solved tables into dir as plain ".nbw"/".nbb" files or as
// compressed "…nbw.emd" files. Returns false when a file cannot be written.
inline bool writeSolvedTables(const std::string& dir, bool compressed, const std::vector<int>& ids) {
  for (int id : ids) {
    for (int side = 0; side < 2; side++) {
      std::vector<uint8_t> bytes = solvedSideBytes(id, side);
      std::string path = dir + "/" + tbDescriptors[id].name + (side == 0 ? ".nbw" : ".nbb");
      if (compressed) {
        bytes = tbencoder::encode(bytes);
        path += ".emd";
      }
      if (!tbfiles::writeFile(path, bytes)) return false;
    }
  }
  return true;
}

}  // namespace tbwriter
