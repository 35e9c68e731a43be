#include "uci/reader.h"

#include <cstdlib>
#include <cstring>

#include "uci/output.h"

int splitTokens(char *text, std::vector<char *> &tokens) {
  tokens.clear();
  char *p = text;
  for (;;) {
    while (*p == ' ') p++;
    if (!*p) break;
    tokens.push_back(p);
    while (*p && *p != ' ') p++;
    if (!*p) break;
    *p++ = 0;
  }
  return (int)tokens.size();
}

void stripNewline(std::string &text) {
  size_t nl = text.find('\n');
  if (nl != std::string::npos) text.erase(nl);
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

bool readLine(FILE *in, std::string &line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = getc_unlocked(in)) != EOF) {
    any = true;
    if (c == '\n') return true;
    line.push_back((char)c);
  }
  return any;
}

const CommandEntry *findCommand(const CommandEntry *table, const char *name) {
  for (const CommandEntry *row = table; row->name; row++)
    if (strcmp(row->name, name) == 0) return row;
  return nullptr;
}

int handleLine(const std::string &input) {
  std::string line = input;
  stripNewline(line);
  std::vector<char> copy(line.begin(), line.end());
  copy.push_back(0);
  std::vector<char *> tokens;
  int count = splitTokens(copy.data(), tokens);
  if (count == 0) return 1;
  const CommandEntry *row = findCommand(commandTable, tokens[0]);
  if (!row) {
    reportError("Unknown command", tokens[0]);
    return 1;
  }
  if (!row->handler) return 1;
  if (count < row->minTokens) {
    reportError("too few parameters", line.c_str());
    return 1;
  }
  if (row->maxTokens != -1 && count > row->maxTokens) {
    reportError("too many parameters", line.c_str());
    return 1;
  }
  tokens.push_back(nullptr);  // handlers may look one past the last token
  return row->handler(line.c_str(), tokens.data(), count);
}

void uciLoop(FILE *in) {
  std::string line;
  while (readLine(in, line)) {
    if (handleLine(line) == 0) return;
  }
}
