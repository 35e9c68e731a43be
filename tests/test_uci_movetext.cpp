// Move texts read on the program's game copy, and the end-of-game test.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "engine/search/hash.h"
#include "uci/movetext.h"
#include "uci/state.h"

namespace {

void setLocal(const char *fen) {
  static bool core = false;
  if (!core) {
    initEngineCore();
    allocHashTable(&hashTable, 1 << 20);
    core = true;
  }
  ASSERT_EQ(parseFen(fen), 0) << fen;
  ASSERT_EQ(setupPosition(&rootPosition, &gameRecord), 0) << fen;
  currentGame.moves.clear();
}

const char *START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
Move mv(int from, int to) { return makeMoveWord(from, to); }

// Plays texts as one "position" command would; returns the output.
std::string play(const std::vector<std::string> &texts) {
  testing::internal::CaptureStdout();
  for (size_t i = 0; i < texts.size(); i++)
    EXPECT_EQ(playPositionMove(texts[i].c_str(), i + 1 == texts.size()), 1) << texts[i];
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(MoveTexts, CoordinateLongAndShortForms) {
  setLocal(START);
  for (const char *t : {"e2e4", "e2-e4", "e4", "e4+", "e4!"}) EXPECT_EQ(parseMove(t), mv(0x14, 0x34)) << t;
  for (const char *t : {"Nf3", "Ng1f3", "g1f3", "Ng1-f3", "Nf3+", "Nf3!", "Ngf3", "N1f3"})
    EXPECT_EQ(parseMove(t), mv(0x06, 0x25)) << t;
  for (const char *t : {"nf3", "Qh5+!", "e5", "Nd2", "e2e5", "", "O-O", "xe4", "Pe4", "e8=Q", "zz"})
    EXPECT_EQ(parseMove(t), NO_MOVE) << t;
  std::string longText(40, 'e');
  EXPECT_EQ(parseMove(longText.c_str()), NO_MOVE);
}

TEST(MoveTexts, CapturesCastlingAndDisambiguation) {
  // After 1.e4 d5: exd5 and e4xd5.
  setLocal("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  EXPECT_EQ(parseMove("exd5"), mv(0x34, 0x43));
  EXPECT_EQ(parseMove("e4xd5"), mv(0x34, 0x43));
  EXPECT_EQ(parseMove("d5"), mv(0x34, 0x43)) << "any move to the square";
  // Castling both ways, and two rooks that reach the same square.
  setLocal("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(parseMove("O-O"), mv(0x04, 0x06));
  EXPECT_EQ(parseMove("0-0"), mv(0x04, 0x06));
  EXPECT_EQ(parseMove("O-O-O"), mv(0x04, 0x02));
  EXPECT_EQ(parseMove("Rad1"), mv(0x00, 0x03));
  EXPECT_EQ(parseMove("R1h2"), mv(0x07, 0x17));
  // A king already on g1 has no castling.
  setLocal("8/8/8/8/8/8/k7/6KR w - - 0 1");
  EXPECT_EQ(parseMove("O-O"), NO_MOVE);
}

TEST(MoveTexts, PromotionsInEitherCase) {
  setLocal("8/4P3/8/8/8/8/k7/7K w - - 0 1");
  EXPECT_EQ(parseMove("e7e8"), mv(0x64, 0x74)) << "no letter: the queen";
  EXPECT_EQ(parseMove("e7e8q"), mv(0x64, 0x74));
  EXPECT_EQ(parseMove("e7e8Q"), mv(0x64, 0x74));
  EXPECT_EQ(parseMove("e7e8n"), mv(0x64, 0xA4));
  EXPECT_EQ(parseMove("e7e8N"), mv(0x64, 0xA4));
  EXPECT_EQ(parseMove("e7e8r"), mv(0x64, 0x84));
  EXPECT_EQ(parseMove("e7e8B"), mv(0x64, 0x94));
  EXPECT_EQ(parseMove("e8=Q"), NO_MOVE);
  // Black under-promotion onto rank 1.
  setLocal("7k/8/8/8/8/8/3p4/K7 b - - 0 1");
  EXPECT_EQ(parseMove("d2d1n"), mv(0x13, 0xD3));
  EXPECT_EQ(parseMove("d1=N"), NO_MOVE);
}

TEST(MoveTexts, MovesLeavingTheKingAttackedAreRefused) {
  // The e2 knight is pinned by the rook on e8.
  setLocal("4r2k/8/8/8/8/8/4N3/4K3 w - - 0 1");
  EXPECT_EQ(parseMove("Nc3"), NO_MOVE);
  EXPECT_EQ(parseMove("Kd1"), mv(0x04, 0x03));
  EXPECT_EQ(parseMove("Ke1e2"), NO_MOVE) << "own piece";
}

TEST(GameEnd, CheckmateAndStalemate) {
  setLocal(START);
  EXPECT_EQ(play({"f2f3", "e7e5", "g2g4", "d8h4"}), "info string result 0-1 checkmate\n");
  EXPECT_EQ(gameState, 2);
  setLocal("7k/8/5Q2/6K1/8/8/8/8 w - - 0 1");
  EXPECT_EQ(play({"f6f7"}), "info string result 1/2-1/2 stalemate\n");
  EXPECT_EQ(gameState, 1);
  // Scholar's mate: Black is mated, White has won.
  setLocal(START);
  EXPECT_EQ(play({"e4", "e5", "Qh5", "Nc6", "Bc4", "Nf6", "Qxf7#"}), "info string result 1-0 checkmate\n");
  EXPECT_EQ(gameState, 0);
}

TEST(GameEnd, DrawsByMaterialRepetitionAndFiftyMoves) {
  setLocal("7k/8/8/8/8/2N5/8/K2r4 w - - 0 1");
  EXPECT_EQ(play({"c3d1"}), "info string result 1/2-1/2 draw due to insufficient material\n");
  setLocal(START);
  EXPECT_EQ(play({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}),
            "info string result 1/2-1/2 draw by repetition\n");
  // Only the last move of a command is tested.
  setLocal(START);
  EXPECT_EQ(play({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "b1c3"}), "");
  // Twice is not yet a repetition.
  setLocal(START);
  EXPECT_EQ(play({"g1f3", "g8f6", "f3g1", "f6g8"}), "");
  // 100 reversible plies without a repeated position.
  const char *white[16] = {"b1", "c1", "d1", "e1", "f1", "g1", "h1", "h2", "g2", "f2", "e2", "d2", "c2", "b2", "a2", "a1"};
  const char *black[15] = {"b8", "c8", "d8", "e8", "f8", "g8", "h8", "h7", "g7", "f7", "e7", "d7", "c7", "b7", "a8"};
  std::vector<std::string> texts;
  std::string wFrom = "a1", bFrom = "a8";
  for (int i = 0; i < 50; i++) {
    texts.push_back(wFrom + white[i % 16]);
    texts.push_back(bFrom + black[i % 15]);
    wFrom = white[i % 16];
    bFrom = black[i % 15];
  }
  setLocal("k7/8/8/p7/P7/8/8/K7 w - - 0 1");
  std::vector<std::string> first(texts.begin(), texts.end() - 1);
  EXPECT_EQ(play(first), "") << "99 plies";
  EXPECT_EQ(play({texts.back()}), "info string result 1/2-1/2 draw due to 50-move rule\n");
  // Two more plies: still the 50-move rule, not a shortage of material.
  EXPECT_EQ(play({"c1d1", "f8g8"}), "info string result 1/2-1/2 draw due to 50-move rule\n");
}

TEST(GameEnd, LongGamesAreOrdinaryInput) {
  setLocal(START);
  std::vector<std::string> texts;
  for (int i = 0; i < 180; i++)
    for (const char *t : {"g1f3", "g8f6", "f3g1", "f6g8"}) texts.push_back(t);
  std::string out = play(texts);  // 720 plies
  EXPECT_EQ(out, "info string result 1/2-1/2 draw by repetition\n");
  EXPECT_EQ(gameRecord.entryCount, 720);
}
