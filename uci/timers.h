// The module's two search timers on the program's timer thread: a positive
// argument arms the soft timer, a negative one the hard timer, 0 cancels both.
#pragma once

constexpr int SOFT_TIMER_SLOT = 0;
constexpr int HARD_TIMER_SLOT = 1;

// The program's startTimer callback. Arming an armed timer replaces it.
void setTimer(int ms);
// Timer routine: hands the expiry to the module.
void timerTick();
