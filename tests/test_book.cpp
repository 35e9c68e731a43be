// Opening book: the weighted choice and its thresholds, the seed, lookups in
// generated book files (ends of the file, absent keys, a record bound per
// position), legality of every move given out, and broken files.
#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/board/game/game.h"
#include "engine/board/keys.h"
#include "engine/search/hash.h"
#include "tests/book_writer.h"
#include "uci/book.h"
#include "uci/legal.h"

namespace {

namespace bw = bookwriter;

std::vector<std::string> reported;
void recordReport(const char *message, const char *detail) {
  reported.push_back(std::string(message) + "|" + detail);
}

struct BookTest : ::testing::Test {
  static void SetUpTestSuite() { initEngineCore(); }
  std::string dir;
  void SetUp() override {
    char tmpl[] = "/tmp/tessel_book_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    reported.clear();
    bookErrorReporter = recordReport;
  }
  void TearDown() override {
    closeBook(&book);
    bookErrorReporter = nullptr;
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string path(const char *name) { return dir + "/" + name; }
  // Opens a book written from records; seeds the choice with `seed`.
  void openWritten(const std::vector<bw::Record> &records, uint32_t seed = 0, bool sorted = true, int tail = 0) {
    std::string p = path("book.bin");
    ASSERT_TRUE(bw::write(p, records, sorted, tail));
    ASSERT_TRUE(openBook(&book, p.c_str()));
    book.bookSeed = seed;
  }
  // Probes the position after a line many times; returns how often each move came out.
  std::map<Move, int> tally(const char *fen, const char *moves, int selectivity, int probes) {
    std::map<Move, int> seen;
    EXPECT_TRUE(bw::setGame(fen) && bw::playLine(moves));
    for (int i = 0; i < probes; i++) seen[probeBook(&book, &rootPosition, selectivity)]++;
    return seen;
  }
  static Move mv(const char *fen, const char *moves, const char *text) {
    EXPECT_TRUE(bw::setGame(fen) && bw::playLine(moves));
    return bw::moveOfText(text);
  }
};

// ---- the choice among gathered candidates ----

// The 15-bit value that follows a seed, as the generator defines it.
int nextValue(uint32_t *seed) {
  *seed = *seed * 214013u + 2531011u;
  return (*seed >> 16) & 0x7FFF;
}

// Which indices come out over a chain of n choices from seed 1.
std::map<int, int> chooseMany(std::vector<uint16_t> weights, int selectivity, int n) {
  std::map<int, int> seen;
  uint32_t seed = 1;
  for (int i = 0; i < n; i++) {
    std::vector<BookCandidate> list;
    for (uint16_t w : weights) list.push_back({makeMoveWord(0, 0), w});
    seen[chooseBookCandidate(list.data(), (int)list.size(), selectivity, &seed)]++;
  }
  return seen;
}

TEST(BookChoice, SelectivityThresholds) {
  // 96, 3, 1 at 5 %: threshold min(96, 5) = 5, only the first survives
  auto a = chooseMany({96, 3, 1}, 5, 3000);
  EXPECT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0], 3000);
  // 50, 25, 25 at 30 %: threshold 30, only the 50 survives
  auto b = chooseMany({50, 25, 25}, 30, 3000);
  EXPECT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0], 3000);
  // at 0 % all three come out, in proportion
  auto c = chooseMany({50, 25, 25}, 0, 20000);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_NEAR(c[0], 10000, 500);
  EXPECT_NEAR(c[1], 5000, 400);
  EXPECT_NEAR(c[2], 5000, 400);
  // the heaviest entry survives even at a selectivity beyond 100
  auto d = chooseMany({10, 40, 40}, 300, 2000);
  EXPECT_EQ(d.count(0), 0u);
  EXPECT_EQ(d[1] + d[2], 2000);
}

TEST(BookChoice, NinetyTenPicksByR) {
  // Both survive at 5 %; r below 90 picks the entry gathered first.
  uint32_t seed = 12345, mine = 12345;
  int firsts = 0;
  for (int i = 0; i < 2000; i++) {
    BookCandidate list[2] = {{1, 90}, {2, 10}};
    int pick = chooseBookCandidate(list, 2, 5, &seed);
    int r = nextValue(&mine) * 100 >> 15;
    ASSERT_EQ(pick, r < 90 ? 0 : 1);
    ASSERT_EQ(seed, mine);
    firsts += pick == 0;
  }
  EXPECT_GT(firsts, 1700);
  EXPECT_LT(firsts, 1900);
}

TEST(BookChoice, SeedZeroGivesThirtyEight) {
  uint32_t probe = 0;
  EXPECT_EQ(nextValue(&probe), 38);
  EXPECT_EQ(probe, 2531011u);
  // W = 20000: r = 38 * 20000 >> 15 = 23
  uint32_t seed = 0;
  BookCandidate tight[2] = {{1, 23}, {2, 19977}};
  EXPECT_EQ(chooseBookCandidate(tight, 2, 0, &seed), 1);
  EXPECT_EQ(seed, 2531011u);
  seed = 0;
  BookCandidate loose[2] = {{1, 24}, {2, 19976}};
  EXPECT_EQ(chooseBookCandidate(loose, 2, 0, &seed), 0);
}

TEST(BookChoice, ZeroWeightsGiveNothingAndKeepTheSeed) {
  uint32_t seed = 777;
  BookCandidate list[3] = {{1, 0}, {2, 0}, {3, 0}};
  EXPECT_EQ(chooseBookCandidate(list, 3, 0, &seed), -1);
  EXPECT_EQ(seed, 777u);
  // a zero weight among others is never chosen
  auto seen = chooseMany({0, 5, 0, 5, 0}, 0, 2000);
  EXPECT_EQ(seen.count(0) + seen.count(2) + seen.count(4), 0u);
}

TEST(BookChoice, WeightsBeyondSixteenBits) {
  // 40000 + 30000 does not fit the 16-bit sums of the file format's intent;
  // the choice stays proportional instead of wrapping.
  auto seen = chooseMany({40000, 30000}, 0, 14000);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NEAR(seen[0], 8000, 400);
  EXPECT_NEAR(seen[1], 6000, 400);
}

// ---- keys ----

// The book format fixes the keys: five 15-bit draws from seed 0 per key, piece
// codes 0..12 in turn, squares a1..h8 within a code, then the side key.
TEST_F(BookTest, KeysAreTheFixedSequence) {
  static uint64_t keys[13 * 64 + 1];
  uint32_t seed = 0;
  for (uint64_t &k : keys) {
    k = 0;
    for (int i = 0; i < 5; i++) k = (k << 15) | (uint64_t)nextValue(&seed);
  }
  const char *placement = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR";
  const std::string codes = "kqrbnp.PNBRQK";
  uint64_t expected = keys[13 * 64];  // Black to move
  int sq = 56;
  for (const char *p = placement; *p; p++) {
    if (*p == '/') sq -= 16;
    else if (*p >= '1' && *p <= '8') sq += *p - '0';
    else expected ^= keys[codes.find(*p) * 64 + sq++];
  }
  EXPECT_EQ(bw::keyAfter(nullptr, "e2e4"), expected);
  EXPECT_EQ(bw::keyAfter("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3", ""), expected);
}

// ---- lookups in book files ----

TEST_F(BookTest, ThresholdsOnAFile) {
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 96));
  ASSERT_TRUE(bw::add(r, nullptr, "", "d2d4", 3));
  ASSERT_TRUE(bw::add(r, nullptr, "", "g1f3", 1));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", "e7e5", 50));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", "c7c5", 25));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", "e7e6", 25));
  openWritten(r, 99);
  auto a = tally(nullptr, "", 5, 500);
  EXPECT_EQ(a.size(), 1u);
  EXPECT_EQ(a[mv(nullptr, "", "e2e4")], 500);
  auto b = tally(nullptr, "e2e4", 30, 500);
  EXPECT_EQ(b.size(), 1u);
  EXPECT_EQ(b[mv(nullptr, "e2e4", "e7e5")], 500);
  auto c = tally(nullptr, "e2e4", 0, 3000);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_NEAR(c[mv(nullptr, "e2e4", "e7e5")], 1500, 150);
  EXPECT_NEAR(c[mv(nullptr, "e2e4", "c7c5")], 750, 120);
  EXPECT_NEAR(c[mv(nullptr, "e2e4", "e7e6")], 750, 120);
}

TEST_F(BookTest, GatheringOrderFoundThenBackThenForward) {
  // Three records of one key make the whole file: the search meets record 2
  // first, then gathers record 1, then record 3. With seed 0 and W = 32000,
  // r = 38 * 32000 >> 15 = 37: 37 (record 2) + 1 (record 1) reaches past it.
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "d2d4", 1));
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 37));
  ASSERT_TRUE(bw::add(r, nullptr, "", "c2c4", 31962));
  openWritten(r, 0);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), mv(nullptr, "", "d2d4"));
  EXPECT_EQ(book.bookSeed, 2531011u);
}

TEST_F(BookTest, FirstAndLastRecordsAndAbsentKeys) {
  // Several positions; find which sort first and last in the file.
  const char *lines[] = {"", "e2e4", "d2d4", "g1f3", "c2c4", "e2e4 e7e5", "d2d4 d7d5", "e2e4 c7c5", "b1c3"};
  const char *replies[] = {"e2e4", "e7e5", "d7d5", "g8f6", "e7e5", "g1f3", "c2c4", "g1f3", "d7d5"};
  std::vector<bw::Record> r;
  for (int i = 0; i < 9; i++) {
    ASSERT_TRUE(bw::add(r, nullptr, lines[i], replies[i], 10));
    ASSERT_TRUE(bw::add(r, nullptr, lines[i], replies[i], 10));  // two records per position
  }
  std::vector<bw::Record> sorted = r;
  std::stable_sort(sorted.begin(), sorted.end(), bw::keyBefore);
  int first = -1, last = -1;
  for (int i = 0; i < 9; i++) {
    uint64_t k = bw::keyAfter(nullptr, lines[i]);
    if (k == sorted.front().key) first = i;
    if (k == sorted.back().key) last = i;
  }
  ASSERT_GE(first, 0);
  ASSERT_GE(last, 0);
  openWritten(r, 5);
  for (int i = 0; i < 9; i++) {
    ASSERT_TRUE(bw::setGame(nullptr) && bw::playLine(lines[i]));
    EXPECT_EQ(probeBook(&book, &rootPosition, 5), mv(nullptr, lines[i], replies[i])) << lines[i];
  }
  EXPECT_NE(probeBook(&book, &rootPosition, 0), NO_MOVE);
  // positions that are not in the book leave the seed alone
  uint32_t seed = book.bookSeed;
  for (const char *absent : {"a2a3", "e2e4 e7e6", "h2h4 h7h5 a2a3"}) {
    ASSERT_TRUE(bw::setGame(nullptr) && bw::playLine(absent));
    EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE) << absent;
  }
  EXPECT_EQ(book.bookSeed, seed);
  EXPECT_TRUE(reported.empty());
}

TEST_F(BookTest, OnePositionFillingTheFileAtBothEnds) {
  // A position whose records are the first ones of the file, and one whose
  // records are the last: the walks stop at the file's ends.
  std::vector<bw::Record> r;
  const char *a = "", *b = "e2e4";
  for (int i = 0; i < 3; i++) ASSERT_TRUE(bw::add(r, nullptr, a, i == 2 ? "d2d4" : "e2e4", i == 2 ? 10 : 0));
  for (int i = 0; i < 3; i++) ASSERT_TRUE(bw::add(r, nullptr, b, i == 0 ? "e7e5" : "c7c5", i == 0 ? 10 : 0));
  openWritten(r, 3);
  // whichever position sorts first, its last record (d2d4 / e7e5) must be gathered
  EXPECT_EQ(tally(nullptr, a, 0, 50)[mv(nullptr, a, "d2d4")], 50);
  EXPECT_EQ(tally(nullptr, b, 0, 50)[mv(nullptr, b, "e7e5")], 50);
}

TEST_F(BookTest, AllZeroWeightsGiveNoMove) {
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 0));
  ASSERT_TRUE(bw::add(r, nullptr, "", "d2d4", 0));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", "e7e5", 7));
  openWritten(r, 42);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  EXPECT_EQ(book.bookSeed, 42u);
}

TEST_F(BookTest, CandidateListIsBounded) {
  // 150 records of one position: the search meets record 75, walks back to 1
  // and forward to 100, so a move in record 101 or later is never gathered.
  auto build = [&](int heavyAt) {
    std::vector<bw::Record> r;
    for (int i = 1; i <= 150; i++)
      EXPECT_TRUE(bw::add(r, nullptr, "", i == heavyAt ? "d2d4" : "e2e4", i == heavyAt ? 100 : 0));
    return r;
  };
  openWritten(build(100), 1);
  EXPECT_EQ(tally(nullptr, "", 0, 20)[mv(nullptr, "", "d2d4")], 20);
  openWritten(build(101), 1);
  EXPECT_EQ(tally(nullptr, "", 0, 20)[NO_MOVE], 20);
  EXPECT_EQ(book.bookSeed, 1u);
}

TEST_F(BookTest, MovesAreUsedAsStored) {
  // A knight under-promotion (to byte 0xA0) and castling come out unchanged.
  const char *fen = "4k3/P7/8/8/8/8/8/4K2R w K -";
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, fen, "", "a7a8n", 10));
  openWritten(r, 8);
  ASSERT_TRUE(bw::setGame(fen));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), makeMoveWord(0x60, 0xA0));
  std::vector<bw::Record> c;
  ASSERT_TRUE(bw::add(c, fen, "", "e1g1", 10));
  openWritten(c, 8);
  ASSERT_TRUE(bw::setGame(fen));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), makeMoveWord(0x04, 0x06));
}

// ---- legality and broken files ----

TEST_F(BookTest, IllegalMovesAreNeverGivenOut) {
  ASSERT_TRUE(bw::setGame(nullptr));
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", nullptr, 5000, makeMoveWord(0x14, 0x44)));  // e2e5
  ASSERT_TRUE(bw::add(r, nullptr, "", nullptr, 5000, NO_MOVE));
  ASSERT_TRUE(bw::add(r, nullptr, "", nullptr, 5000, 0xFFFF));
  ASSERT_TRUE(bw::add(r, nullptr, "", "g1f3", 1));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", nullptr, 9, makeMoveWord(0x64, 0x44)));  // e7e5, legal
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", nullptr, 9, makeMoveWord(0x74, 0x76)));  // e8g8 through its own pieces
  openWritten(r, 11);
  auto s = tally(nullptr, "", 30, 200);
  EXPECT_EQ(s.size(), 1u);
  EXPECT_EQ(s[mv(nullptr, "", "g1f3")], 200);
  auto t = tally(nullptr, "e2e4", 0, 200);
  EXPECT_EQ(t.size(), 1u);
  EXPECT_EQ(t[makeMoveWord(0x64, 0x44)], 200);
}

TEST_F(BookTest, CastlingRightsAreNotInTheKey) {
  // Same pieces, same side: same key, but only one position may castle.
  const char *withRights = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
  const char *without = "r3k2r/8/8/8/8/8/8/R3K2R w - -";
  ASSERT_EQ(bw::keyAfter(withRights, ""), bw::keyAfter(without, ""));
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, withRights, "", "e1g1", 10));
  openWritten(r, 4);
  ASSERT_TRUE(bw::setGame(without));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  EXPECT_EQ(book.bookSeed, 4u);
  ASSERT_TRUE(bw::setGame(withRights));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), makeMoveWord(0x04, 0x06));
}

TEST_F(BookTest, ProbeLeavesTheGameAsFound) {
  const char *line = "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5";
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::addLine(r, nullptr, "e2e4 d7d5 e4d5 d8d5 b1c3 d5a5 d2d4 c7c6", 10));
  openWritten(r, 6);
  Move expected = mv(nullptr, line, "d2d4");
  ASSERT_TRUE(bw::setGame(nullptr) && bw::playLine(line));
  static Board before;
  static Position rootBefore;
  memcpy(&before, &gameBoard, sizeof before);
  memcpy(&rootBefore, &rootPosition, sizeof rootBefore);
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), expected);
  EXPECT_EQ(memcmp(before.squareArray, gameBoard.squareArray, sizeof before.squareArray), 0);
  EXPECT_EQ(memcmp(before.pieces, gameBoard.pieces, sizeof before.pieces), 0);
  EXPECT_EQ(memcmp(before.kinds, gameBoard.kinds, sizeof before.kinds), 0);
  EXPECT_EQ(before.material, gameBoard.material);
  EXPECT_EQ(before.menCount, gameBoard.menCount);
  EXPECT_EQ(memcmp(&rootBefore, &rootPosition, sizeof rootBefore), 0);
  EXPECT_EQ(computeKey(&rootPosition), rootPosition.key);
}

TEST_F(BookTest, PartialLastRecordIsIgnored) {
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 10));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4", "c7c5", 10));
  ASSERT_TRUE(bw::add(r, nullptr, "e2e4 c7c5", "g1f3", 10));
  openWritten(r, 2, true, 7);
  EXPECT_EQ(book.count, 3);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Book file ends in a partial record|" + path("book.bin"));
  // every whole record, the last one included, is still found
  EXPECT_EQ(tally(nullptr, "", 0, 5)[mv(nullptr, "", "e2e4")], 5);
  EXPECT_EQ(tally(nullptr, "e2e4", 0, 5)[mv(nullptr, "e2e4", "c7c5")], 5);
  EXPECT_EQ(tally(nullptr, "e2e4 c7c5", 0, 5)[mv(nullptr, "e2e4 c7c5", "g1f3")], 5);
  EXPECT_EQ(reported.size(), 1u);
}

TEST_F(BookTest, EmptyAndTinyFiles) {
  for (int bytes : {0, 5, 11}) {
    reported.clear();
    openWritten({}, 0, true, bytes);
    EXPECT_EQ(book.count, 0);
    ASSERT_TRUE(bw::setGame(nullptr));
    EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
    EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
    ASSERT_EQ(reported.size(), 1u) << bytes;
    EXPECT_EQ(reported[0], "Book file is empty|" + path("book.bin"));
  }
}

TEST_F(BookTest, MissingFileAndDirectory) {
  EXPECT_FALSE(openBook(&book, path("nothing.bin").c_str()));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(book.file, nullptr);
  EXPECT_FALSE(openBook(&book, dir.c_str()));
  EXPECT_EQ(errno, EISDIR);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  // a failed open closes the previous book
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 10));
  openWritten(r);
  EXPECT_FALSE(openBook(&book, path("nothing.bin").c_str()));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  EXPECT_TRUE(reported.empty());
}

TEST_F(BookTest, UnsortedFileIsReportedOnceAndGivesOnlyLegalMoves) {
  std::vector<bw::Record> r;
  const char *lines[] = {"", "e2e4", "e2e4 e7e5", "d2d4", "d2d4 d7d5", "c2c4", "g1f3"};
  const char *replies[] = {"e2e4", "e7e5", "g1f3", "d7d5", "c2c4", "e7e5", "d7d5"};
  for (int i = 0; i < 7; i++) ASSERT_TRUE(bw::add(r, nullptr, lines[i], replies[i], 10));
  std::stable_sort(r.begin(), r.end(), bw::keyBefore);
  std::reverse(r.begin(), r.end());
  openWritten(r, 9, false);
  for (int round = 0; round < 2; round++) {
    for (int i = 0; i < 7; i++) {
      ASSERT_TRUE(bw::setGame(nullptr) && bw::playLine(lines[i]));
      Move m = probeBook(&book, &rootPosition, 0);
      if (m != NO_MOVE) {
        EXPECT_TRUE(isLegalMove(&rootPosition, m));
      }
    }
  }
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Book file is not sorted|" + path("book.bin"));
  // once reported, the file gives no more moves; reopening gives it a new chance
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  std::stable_sort(r.begin(), r.end(), bw::keyBefore);
  openWritten(r, 9);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), mv(nullptr, "", "e2e4"));
}

TEST_F(BookTest, FileShrunkUnderneathIsReportedOnce) {
  // Far more records than one read buffer holds, so that probes go to the disk.
  std::vector<bw::Record> r;
  ASSERT_TRUE(bw::add(r, nullptr, "", "e2e4", 10));
  uint32_t s = 5;
  for (int i = 0; i < 20000; i++) {
    uint64_t k = 0;
    for (int j = 0; j < 4; j++) k = (k << 15) | (uint64_t)nextValue(&s);
    r.push_back({k, 0x2222, 1});
  }
  openWritten(r, 1);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), mv(nullptr, "", "e2e4"));
  ASSERT_EQ(truncate(path("book.bin").c_str(), 0), 0);
  ASSERT_TRUE(bw::setGame(nullptr));
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  EXPECT_EQ(probeBook(&book, &rootPosition, 0), NO_MOVE);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], "Book file cannot be read|" + path("book.bin"));
}

}  // namespace
