#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

// The tbindex tool, run as a program.
namespace {

std::string run(const std::string& args, const std::string& input) {
  // One input file per process: ctest runs the tests of this file side by side.
  const std::string inputFile = testing::TempDir() + "tbindex_input_" + std::to_string(getpid()) + ".txt";
  std::ofstream(inputFile) << input;
  const std::string command = std::string(TESSEL_BIN_DIR) + "/tbindex " + args + " < " + inputFile;
  FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string out;
  char buffer[256];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
  if (pipe) {
    EXPECT_EQ(pclose(pipe), 0);
  }
  std::remove(inputFile.c_str());
  return out;
}

TEST(TbIndexTool, ProbesFenLines) {
  const std::string out = run("",
                              "4k3/8/8/8/3Q4/8/8/4K3 w - - 0 1\n"             // kqk, worked value
                              "4k3/8/8/3q4/8/8/8/4K3 b - - 0 1\n"             // colours reversed
                              "1k6/8/8/3pP3/8/8/8/6K1 w - d6 0 1\n"           // kpkp with e.p.
                              "1k6/8/8/3pP3/8/8/8/6K1 w - - 0 1\n"            // the same without
                              "4k3/8/8/8/8/8/8/QRBNK3 w - - 0 1\n"             // no 4+0 table
                              "7k/p7/8/2PpP3/8/8/8/1K6 w - d6 0 1\n"          // kppkpp, two capturers
                              "k7/7p/8/8/1Pp5/8/5P2/6K1 b - b3 0 1\n"         // kppkpp, Black to move
                              "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n"
                              "not a board\n");
  EXPECT_EQ(out,
            "5 kqk 0 11205\n"
            "5 kqk 0 11205\n"
            "6 kpkp 0 3839842\n"
            "6 kpkp 0 250960\n"
            "miss\n"
            "201 kppkpp 0 1873026130\n"
            "201 kppkpp 1 1871465528\n"
            "miss\n"
            "miss\n");
}

TEST(TbIndexTool, PrintsLengths) {
  const std::string out = run("--lengths", "");
  int lines = 0;
  for (char c : out) lines += c == '\n';
  EXPECT_EQ(lines, 440);
  EXPECT_EQ(out.find("1 kpk 0 81664 84012\n"), 0u);
  EXPECT_NE(out.find("\n203 knpknp 5 12972508017 12972508017\n"), std::string::npos);
  EXPECT_NE(out.find("\n440 kqqpkq 4 7297961576 8514011520\n"), std::string::npos);
}

}  // namespace
