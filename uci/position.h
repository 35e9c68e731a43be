// Setting the position on both games: the FEN on the module and on the game
// copy, the moves of a "position" command, and the replay of the current game
// after the tables were rebuilt.
#pragma once
#include <atomic>
#include <string>

// FEN text on the module, then on the game copy. Returns 1 accepted, 0 illegal.
int setPosition(const char *fen);
// The FEN text of a "position" command's tokens (the start position unless the
// second token is "fen"); each field is followed by a blank.
std::string positionFen(char **tokens, int count, int movesIndex);
// Sets the current game again on both games (after a table rebuild).
void replayCurrentGame();
// Does the game copy's root have a legal move (and a valid position)? Kept
// current by every position change, read by the reader during a search.
extern std::atomic<bool> rootHasMoves;
// How many legal moves the root has (0 with an invalid position).
extern std::atomic<int> rootMoveCount;
void updateRootHasMoves();
