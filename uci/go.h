// Translating a "go" command into the engine thread's "think" line.
#pragma once

struct ThinkRequest {
  int ponderKind;  // 0 normal, 1 ponder, 2 infinite
  int searchMode;  // 6 clock, 0 fixed depth, 1 infinite, 4 fixed move time
  int wtime, btime, movestogo, winc, binc;
  bool infinite;
};

// Reads the tokens after "go"; unusable values are reported with an error line
// and clamped. Never reads beyond the tokens.
void parseGo(const char *line, char **tokens, int count, ThinkRequest *out);
// The think line "think %d %d %d %d %d %d %d %d".
int formatThink(char *out, int size, const ThinkRequest *r);
