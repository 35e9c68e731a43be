// Stopwatch: accumulated milliseconds of the wall clock over several runs.
#include "engine/board/game/stopwatch.h"

#include <cassert>

#include "platform/platform.h"

int32_t stopwatchStart(Stopwatch *sw) {
  assert(sw);
  int32_t now = platformMillis();
  sw->startMs = now;
  sw->running = 1;
  return now % 1000;
}

void stopwatchStop(Stopwatch *sw) {
  assert(sw);
  if (sw->running) sw->elapsedMs += platformMillis() - sw->startMs;
  sw->running = 0;
}

int32_t stopwatchRead(const Stopwatch *sw) {
  assert(sw);
  if (!sw->running) return sw->elapsedMs;
  return sw->elapsedMs + (platformMillis() - sw->startMs);
}

void stopwatchClear(Stopwatch *sw) {
  assert(sw);
  sw->running = 0;
  sw->elapsedMs = 0;
}
