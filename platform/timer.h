// One-shot millisecond timers served by one timer thread of our own.
// Callbacks run on that thread. Arming a slot that is already armed replaces
// the earlier expiry; cancelling waits until no callback is running.
#pragma once

typedef void (*TimerCallback)();

constexpr int TIMER_SLOTS = 4;

// Arm timer slot (0..TIMER_SLOTS-1) to call cb once after ms milliseconds
// (ms <= 0 fires at once). Returns 0 on success, nonzero when the timer thread
// could not be started or the slot is out of range.
int timerArm(int slot, int ms, TimerCallback cb);
// Disarm the slot, then wait until no timer callback is running. Called from a
// timer callback it disarms without waiting (the caller is that callback).
void timerCancel(int slot);
// Is the slot armed and not yet fired? (tests)
bool timerArmed(int slot);
