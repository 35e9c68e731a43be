// Test helper: tables written from the solver, registered and cached, and
// every (or every n-th) solved position probed on both colourings.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "tests/tb_table_writer.h"
#include "tests/tb_test_files.h"

namespace tbcheck {

constexpr uint8_t EMPTY_CODE = 6;
constexpr uint8_t WHITE_KING_CODE = 12, BLACK_KING_CODE = 0;

// Probe-board code of a man: White 7 + kind (pawn 0 .. queen 4), Black 5 - kind.
inline uint8_t codeOf(char letter, bool white) {
  const int kind = tbwriter::kindOfLetter(letter);
  return static_cast<uint8_t>(white ? 7 + kind : 5 - kind);
}

// Solved tables in a scratch directory, registered with a cache.
struct SolvedTables {
  std::string dir;
  std::vector<uint8_t> cache;
  bool setUp(bool compressed, const std::vector<int>& ids) {
    dir = tbfiles::makeScratchDir();
    if (dir.empty() || !tbwriter::writeSolvedTables(dir, compressed, ids)) return false;
    initTablebases(dir.c_str());
    cache.assign(8u << 20, 0);
    return setTablebaseCache(cache.data(), cache.size()) == 1;
  }
  ~SolvedTables() {
    initTablebases(nullptr);
    setTablebaseCache(nullptr, 0);
    tbfiles::removeScratchDir(dir);
  }
};

// Probes every stride-th solved position of a table, as it stands and with
// colours reversed (ranks mirrored, the other side to move); counts mismatches.
inline void expectProbesMatchSolver(int id, int stride) {
  const std::string name = tbDescriptors[id].name;
  const size_t second = name.find('k', 1);
  const std::string whiteLetters = name.substr(1, second - 1), blackLetters = name.substr(second + 1);
  uint64_t seen = 0, checked = 0, mismatches = 0;
  tbwriter::forEachSolvedPosition(name, [&](const int* white, const int* black, bool whiteToMove, int value) {
    if (seen++ % stride) return;
    for (int reversed = 0; reversed < 2; reversed++) {
      uint8_t board[TB_BOARD_SQUARES];
      for (uint8_t& s : board) s = EMPTY_CODE;
      const int flip = reversed ? 56 : 0;
      board[white[0] ^ flip] = reversed ? BLACK_KING_CODE : WHITE_KING_CODE;
      board[black[0] ^ flip] = reversed ? WHITE_KING_CODE : BLACK_KING_CODE;
      for (size_t i = 0; i < whiteLetters.size(); i++) board[white[i + 1] ^ flip] = codeOf(whiteLetters[i], !reversed);
      for (size_t i = 0; i < blackLetters.size(); i++) board[black[i + 1] ^ flip] = codeOf(blackLetters[i], reversed);
      const bool whiteMoves = reversed ? !whiteToMove : whiteToMove;
      int score = 0;
      const int hit = tbProbe(board, whiteMoves ? 1 : 0, 0, &score);
      // A checkmated side (-1) has no 8-bit entry: the written table holds unknown there.
      const int expected = value == -1 ? 0 : 1;
      checked++;
      if (hit != expected || (hit && score != value)) {
        if (++mismatches <= 5)
          ADD_FAILURE() << name << (reversed ? " reversed" : "") << (whiteToMove ? " wtm" : " btm") << " K" << white[0]
                        << " k" << black[0] << ": solver " << value << ", probe " << (hit ? score : 99999);
      }
    }
  });
  EXPECT_EQ(mismatches, 0u) << name << ": " << checked << " probes";
  EXPECT_GT(checked, 0u) << name;
}

}  // namespace tbcheck
