#include "uci/timers.h"

#include "platform/timer.h"
#include "uci/output.h"
#include "uci/state.h"

void timerTick() {
  if (engineOps.timerExpired) engineOps.timerExpired();
}

void setTimer(int ms) {
  if (ms == 0) {
    // Soft first: a running soft expiry may still arm the hard timer.
    timerCancel(SOFT_TIMER_SLOT);
    timerCancel(HARD_TIMER_SLOT);
    return;
  }
  int slot = ms > 0 ? SOFT_TIMER_SLOT : HARD_TIMER_SLOT;
  int delay = ms > 0 ? ms : (ms == -2147483647 - 1 ? 2147483647 : -ms);
  if (timerArm(slot, delay, timerTick) != 0) reportError("CreateTimerQueueTime", "");
}
