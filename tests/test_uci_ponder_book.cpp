// A ponder search in a book position: the book move is held until
// "ponderhit" or "stop", as the protocol asks of a ponder search; a normal
// search answers the book move at once. Runs the built tessel_uci.
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/search/hash.h"
#include "tests/book_writer.h"

namespace {

struct Line {
  long long ms;
  std::string text;
};

// Runs a shell pipeline feeding the engine; each output line with its arrival time.
std::vector<Line> runTimed(const std::string &feed) {
  std::string cmd = "(" + feed + ") | " + TESSEL_BIN_DIR + "/tessel_uci 2>&1 | "
                    "while IFS= read -r l; do echo \"$(date +%s%3N) $l\"; done";
  std::vector<Line> lines;
  FILE *p = popen(cmd.c_str(), "r");
  if (!p) return lines;
  char buf[4096];
  while (fgets(buf, sizeof buf, p)) {
    std::string s(buf);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    size_t sp = s.find(' ');
    if (sp == std::string::npos) continue;
    lines.push_back({atoll(s.substr(0, sp).c_str()), s.substr(sp + 1)});
  }
  pclose(p);
  return lines;
}

struct PonderBook : ::testing::Test {
  std::string path;
  void SetUp() override {
    initEngineCore();
    char tmpl[] = "/tmp/tessel_ponder_book_XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    path = tmpl;
    std::vector<bookwriter::Record> records;
    ASSERT_TRUE(bookwriter::add(records, nullptr, "e2e4", "e7e5", 100));
    ASSERT_TRUE(bookwriter::write(path, records));
  }
  void TearDown() override { unlink(path.c_str()); }
  std::string start() {
    return "printf 'setoption name Book_file value " + path +
           "\\nisready\\nposition startpos moves e2e4\\n'; sleep 0.3; ";
  }
};

}  // namespace

// Position of the first line starting with prefix at or after index from; -1 when none.
static int indexOf(const std::vector<Line> &lines, const std::string &prefix, int from = 0) {
  for (int i = from; i < (int)lines.size(); i++)
    if (lines[i].text.compare(0, prefix.size(), prefix) == 0) return i;
  return -1;
}

// The order of lines on the engine's output is the evidence, not their timing:
// an "isready" sent after "go" is answered at once, so a held bestmove comes
// after that readyok and an immediate one before it.
TEST_F(PonderBook, HeldUntilPonderhit) {
  auto lines = runTimed(start() + "printf 'go ponder wtime 10000 btime 10000\\n'; sleep 0.5; "
                                  "printf 'isready\\n'; sleep 0.5; printf 'ponderhit\\n'; sleep 0.5; printf 'quit\\n'");
  int first = indexOf(lines, "readyok");
  int marker = indexOf(lines, "readyok", first + 1);
  int best = indexOf(lines, "bestmove");
  ASSERT_GE(first, 0);
  ASSERT_GT(marker, first);
  ASSERT_GE(best, 0);
  EXPECT_EQ(lines[best].text, "bestmove e7e5");
  EXPECT_GT(best, marker) << "the book move came before ponderhit";
  EXPECT_GE(indexOf(lines, "info score cp 0 depth 0 nodes 0"), 0);
}

TEST_F(PonderBook, HeldUntilStop) {
  auto lines = runTimed(start() + "printf 'go ponder\\n'; sleep 0.5; printf 'isready\\n'; sleep 0.5; "
                                  "printf 'stop\\n'; sleep 0.5; printf 'isready\\nquit\\n'");
  int first = indexOf(lines, "readyok");
  int marker = indexOf(lines, "readyok", first + 1);
  int best = indexOf(lines, "bestmove");
  ASSERT_GT(marker, first);
  ASSERT_GE(best, 0);
  EXPECT_EQ(lines[best].text, "bestmove e7e5");
  EXPECT_GT(best, marker);
  int count = 0;
  for (const Line &l : lines) count += l.text.compare(0, 8, "bestmove") == 0;
  EXPECT_EQ(count, 1);
}

TEST_F(PonderBook, NormalSearchAnswersAtOnce) {
  auto lines = runTimed(start() + "printf 'go wtime 10000 btime 10000\\n'; sleep 1; printf 'isready\\n'; "
                                  "sleep 0.3; printf 'quit\\n'");
  int first = indexOf(lines, "readyok");
  int marker = indexOf(lines, "readyok", first + 1);
  int best = indexOf(lines, "bestmove");
  ASSERT_GE(best, 0);
  ASSERT_GT(marker, first);
  EXPECT_EQ(lines[best].text, "bestmove e7e5");
  EXPECT_LT(best, marker);
  EXPECT_GE(indexOf(lines, "info score cp 0 depth 0 nodes 0"), 0);
}
