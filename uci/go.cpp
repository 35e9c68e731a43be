#include "uci/go.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "uci/numbers.h"
#include "uci/output.h"

namespace {

// The value token of a key, or null (reported) when the key is the last token.
const char *valueOf(const char *line, char **tokens, int count, int *i) {
  if (*i + 1 >= count) {
    reportError("missing argument", line);
    return nullptr;
  }
  return tokens[++*i];
}

// Clamps a value that fails its check, with an error line.
int checked(const char *line, int v, int lowest, const char *message) {
  if (v >= lowest) return v;
  reportError(message, line);
  return lowest;
}

}  // namespace

void parseGo(const char *line, char **tokens, int count, ThinkRequest *r) {
  r->ponderKind = 0;
  r->searchMode = 6;
  r->wtime = r->btime = r->movestogo = r->winc = r->binc = 0;
  r->infinite = false;
  for (int i = 1; i < count; i++) {
    const char *key = tokens[i];
    const char *v;
    if (!strcmp(key, "wtime")) {
      // Clocks and increments stay in milliseconds: whole seconds would read
      // a clock under one second as 0 and drop increments under one second.
      if ((v = valueOf(line, tokens, count, &i))) r->wtime = std::max(0, parseInt(v));
    } else if (!strcmp(key, "btime")) {
      if ((v = valueOf(line, tokens, count, &i))) r->btime = std::max(0, parseInt(v));
    } else if (!strcmp(key, "winc")) {
      if ((v = valueOf(line, tokens, count, &i))) r->winc = checked(line, parseInt(v), 0, "negative winc");
    } else if (!strcmp(key, "binc")) {
      if ((v = valueOf(line, tokens, count, &i))) r->binc = checked(line, parseInt(v), 0, "negative binc");
    } else if (!strcmp(key, "movestogo")) {
      if ((v = valueOf(line, tokens, count, &i))) r->movestogo = checked(line, parseInt(v), 0, "negative movestogo");
    } else if (!strcmp(key, "depth")) {
      if ((v = valueOf(line, tokens, count, &i))) {
        r->searchMode = 0;
        r->wtime = r->btime = checked(line, parseInt(v), 0, "negative depth");
      }
    } else if (!strcmp(key, "movetime")) {
      if ((v = valueOf(line, tokens, count, &i))) {
        r->searchMode = 4;
        r->wtime = r->btime = checked(line, parseInt(v), 1, "movetime below 1");
      }
    } else if (!strcmp(key, "infinite")) {
      r->ponderKind = 2;
      r->searchMode = 1;
      r->wtime = r->btime = 60;
      r->infinite = true;
    } else if (!strcmp(key, "ponder")) {
      r->ponderKind = 1;
    } else if (!strcmp(key, "mate") || !strcmp(key, "nodes")) {
      char message[40];
      snprintf(message, sizeof message, "unsupported option %s", key);
      reportError(message, line);
      valueOf(line, tokens, count, &i);
    } else if (!strcmp(key, "searchmoves")) {
      reportError("unsupported option searchmoves", line);
    }
  }
}

int formatThink(char *out, int size, const ThinkRequest *r) {
  return snprintf(out, size, "think %d %d %d %d %d %d %d %d", r->ponderKind, r->searchMode, r->wtime, r->btime,
                  r->movestogo, r->winc, r->binc, 0);
}
