#include "uci/position.h"

#include <cstring>

#include "engine/board/game/fen.h"
#include "engine/board/game/game.h"
#include "uci/legal.h"
#include "uci/movetext.h"
#include "uci/state.h"

std::atomic<bool> rootHasMoves{false};
std::atomic<int> rootMoveCount{0};

int setPosition(const char *fen) {
  int r = engineOps.setFen ? engineOps.setFen(fen) : 0;
  if (r == 0) r = parseFen(fen);
  if (r == 0) r = setupPosition(&rootPosition, &gameRecord);
  gameState = 3;
  return r == 0 ? 1 : 0;
}

std::string positionFen(char **tokens, int count, int movesIndex) {
  if (count < 2 || strcmp(tokens[1], "fen") != 0) return START_FEN;
  std::string fen;
  for (int i = 2; i < movesIndex && i < count; i++) {
    fen += tokens[i];
    fen += ' ';
  }
  return fen;
}

void updateRootHasMoves() {
  Move list[MAX_LEGAL_MOVES];
  rootMoveCount = currentGame.valid ? legalMoves(&rootPosition, list, MAX_LEGAL_MOVES) : 0;
  rootHasMoves = rootMoveCount > 0;
}

void replayCurrentGame() {
  const char *fen = currentGame.fen.empty() ? START_FEN : currentGame.fen.c_str();
  currentGame.valid = setPosition(fen) == 1;
  if (currentGame.valid) {
    for (Move m : currentGame.moves) {
      if (engineOps.playMove) engineOps.playMove(m, ' ');
      recordGameMove(m, false);
    }
  } else {
    currentGame.moves.clear();
  }
  updateRootHasMoves();
}
