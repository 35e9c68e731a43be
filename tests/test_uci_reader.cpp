// The reader loop: line reading, tokens, the command table and its errors.
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "uci/reader.h"

namespace {

std::vector<std::string> split(const std::string &text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back(0);
  std::vector<char *> tokens;
  splitTokens(buf.data(), tokens);
  return std::vector<std::string>(tokens.begin(), tokens.end());
}

std::string run(const std::string &line) {
  testing::internal::CaptureStdout();
  handleLine(line);
  return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(SplitTokens, OnlyBlanksSeparate) {
  EXPECT_EQ(split("   go    infinite   "), (std::vector<std::string>{"go", "infinite"}));
  EXPECT_TRUE(split("").empty());
  EXPECT_TRUE(split("     ").empty());
  // Tabs belong to their token.
  EXPECT_EQ(split("go\tinfinite x"), (std::vector<std::string>{"go\tinfinite", "x"}));
}

TEST(SplitTokens, ManyTokensAreAllKept) {
  std::string line = "position startpos moves";
  for (int i = 0; i < 5000; i++) line += " e2e4";
  std::vector<std::string> tokens = split(line);
  ASSERT_EQ(tokens.size(), 5003u);
  EXPECT_EQ(tokens[5002], "e2e4");
}

TEST(StripNewline, CutsAtTheNewlineAndACarriageReturn) {
  std::string a = "isready\r";
  stripNewline(a);
  EXPECT_EQ(a, "isready");
  std::string b = "uci\nisready";
  stripNewline(b);
  EXPECT_EQ(b, "uci");
  std::string c = "go\r\n";
  stripNewline(c);
  EXPECT_EQ(c, "go");
}

TEST(ReadLine, LongLinesArriveWhole) {
  std::string big(100000, 'x');
  std::string input = big + "\nshort\r\nlast-without-newline";
  FILE *in = fmemopen(&input[0], input.size(), "r");
  ASSERT_NE(in, nullptr);
  std::string line;
  ASSERT_TRUE(readLine(in, line));
  EXPECT_EQ(line.size(), 100000u);
  ASSERT_TRUE(readLine(in, line));
  EXPECT_EQ(line, "short\r");
  ASSERT_TRUE(readLine(in, line));
  EXPECT_EQ(line, "last-without-newline");
  EXPECT_FALSE(readLine(in, line));
  fclose(in);
}

TEST(CommandTable, TenCommandsInOrder) {
  const char *names[] = {"uci", "debug", "isready", "setoption", "ucinewgame",
                         "position", "quit", "go", "stop", "ponderhit"};
  int n = 0;
  for (const CommandEntry *row = commandTable; row->name; row++, n++) {
    ASSERT_LT(n, 10);
    EXPECT_STREQ(row->name, names[n]);
  }
  EXPECT_EQ(n, 10);
  EXPECT_EQ(findCommand(commandTable, "UCI"), nullptr) << "command words are case-sensitive";
  EXPECT_EQ(findCommand(commandTable, "debug")->handler, nullptr);
}

TEST(HandleLine, RejectedLinesGiveOneErrorLine) {
  EXPECT_EQ(run("UCI"), "info string Error (Unknown command): UCI\n");
  EXPECT_EQ(run("isready now"), "info string Error (too many parameters): isready now\n");
  EXPECT_EQ(run("position"), "info string Error (too few parameters): position\n");
  EXPECT_EQ(run("setoption name\r"), "info string Error (too few parameters): setoption name\n");
}

TEST(HandleLine, SilentLines) {
  EXPECT_EQ(run(""), "");
  EXPECT_EQ(run("      "), "");
  EXPECT_EQ(run("\r"), "");
  EXPECT_EQ(run("debug"), "");
  EXPECT_EQ(run("debug on"), "");
  EXPECT_EQ(run("debug a b c"), "");
}

TEST(HandleLine, GarbageAndHugeUnknownLines) {
  std::string garbage = "\x01\x02\xff\xfe zz";
  EXPECT_EQ(run(garbage).rfind("info string Error (Unknown command): ", 0), 0u);
  std::string huge(100000, 'q');
  std::string out = run(huge);
  EXPECT_EQ(out.size(), std::string("info string Error (Unknown command): \n").size() + huge.size())
      << "a long detail is printed whole, on one line";
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(out.find('\n'), out.size() - 1);
}

TEST(HandleLine, QuitEndsTheLoop) {
  EXPECT_EQ(handleLine("quit"), 0);
  EXPECT_EQ(handleLine("quit\r"), 0);
  EXPECT_EQ(handleLine("  quit  "), 0);
}
