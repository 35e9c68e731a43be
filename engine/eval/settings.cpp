// The active settings block and its values before the program sets any.
#include "engine/eval/settings.h"

#include "engine/board/position.h"

// paramsSet (word 9) starts at 0: setSettings is what sets it to 1.
const EngineSettings initialSettings = {
    0, 0, 1, 0, 0, -MATE_SCORE, 0, 4, 1, 0, 1, 1, 1,             // words 0..12
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,  // words 13..24
    60};                                                         // maxDepth
EngineSettings activeSettings = initialSettings;

void applyCannotWinRule(Board *b) {
  int cannotWin = cannotWinRule();
  b->white.cannotWinMask = cannotWin ? WHITE_CANNOT_WIN : 0;
  b->black.cannotWinMask = cannotWin ? BLACK_CANNOT_WIN : 0;
}
