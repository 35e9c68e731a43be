// The engine command thread and its one-slot mailbox (a mutex and a condition
// variable): the reader queues a command, the engine thread runs it; the next
// queue waits until the previous command has finished.
#pragma once
#include <atomic>

// Creates the mailbox state. Returns 0 on success.
int initMailbox();
// Queues one command; waits while the previous one runs, returns once queued.
void sendToEngine(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Waits until no command is queued or running.
void waitForIdle();
// Is a "think" queued or running?
bool thinkInProgress();
// Is the module's search operation running (not a book move or a held answer)?
extern std::atomic<bool> moduleSearching;
// The thread body: runs queued commands forever.
void *engineThread(void *);
// Waits for one command and runs it.
void runEngineCommand();

int cmdWaitforidle(const char *line, char **tokens, int count);
int cmdThink(const char *line, char **tokens, int count);
void startThinking(int ponderKind, int searchMode, int myTime, int movestogo, int myInc, int last);

// A bestmove that must wait for "stop" or "ponderhit" (a book move while
// pondering, or nothing to search during a ponder or infinite search) is held
// here; resetHold before each "go", releaseHold from "stop" and "ponderhit".
void resetHold();
void releaseHold();
void waitForRelease();
