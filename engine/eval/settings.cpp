// The active settings block and its values before the program sets any.
#include "engine/eval/settings.h"

#include "engine/board/board.h"

// paramsSet (word 9) starts at 0: setSettings is what sets it to 1.
const EngineSettings initialSettings = {
    0, 0, 1, 0, 0, -9999, 0, 4, 1, 0, 1, 1, 1,                   // words 0..12
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,  // words 13..24
    60};                                                         // maxDepth
EngineSettings activeSettings = initialSettings;

void applyCannotWinRule(Board *b) {
  int cannotWin = activeSettings.reserved2 != 0;
  b->white.cannotWinMask = cannotWin ? 0x20 : 0;
  b->black.cannotWinMask = cannotWin ? 0x40 : 0;
}
