// The reader loop on the main thread: lines from standard input, split into
// tokens, dispatched through the command table.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Handler: (uncut line, tokens, token count) -> 0 ends the reader loop.
typedef int (*CommandHandler)(const char *line, char **tokens, int count);

struct CommandEntry {
  const char *name;  // null ends the table
  int minTokens;
  int maxTokens;     // -1: no limit
  CommandHandler handler;  // null: accepted and ignored
};

extern const CommandEntry commandTable[];
extern const CommandEntry engineCommandTable[];

// Cuts text in place at blanks (only the space separates tokens) and appends a
// pointer to each token. Returns the count.
int splitTokens(char *text, std::vector<char *> &tokens);
// Cuts the text at its first newline; a carriage return before it goes too.
void stripNewline(std::string &text);
// Reads one whole line of any length; false at the end of input.
bool readLine(FILE *in, std::string &line);
// Finds a command row by exact name, or null.
const CommandEntry *findCommand(const CommandEntry *table, const char *name);
// Handles one input line as the reader loop does; returns the handler's result
// (1 for lines that run no handler).
int handleLine(const std::string &line);
// Runs until the end of input or a handler returns 0.
void uciLoop(FILE *in);
