// The handlers of the UCI commands.
#pragma once

int cmdUci(const char *line, char **tokens, int count);
int cmdIsready(const char *line, char **tokens, int count);
int cmdSetoption(const char *line, char **tokens, int count);
int cmdUcinewgame(const char *line, char **tokens, int count);
int cmdPosition(const char *line, char **tokens, int count);
int cmdGo(const char *line, char **tokens, int count);
int cmdStop(const char *line, char **tokens, int count);
int cmdPonderhit(const char *line, char **tokens, int count);
int cmdQuit(const char *line, char **tokens, int count);

// Stops the running search, or remembers the stop until its first report.
void abortSearch();
// Resets the per-search words before a "think" is queued.
void prepareGo();
// Starts the engine side when it has not been started (isready, stop, and
// the commands that need it when a GUI skipped "isready"). True when it runs.
bool ensureEngine(const char *line);
