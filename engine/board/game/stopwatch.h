// A stopwatch of milliseconds that can be started, stopped and read.
#pragma once
#include <cstdint>

struct Stopwatch {
  uint8_t running;
  int32_t startMs;
  int32_t elapsedMs;
};
int32_t stopwatchStart(Stopwatch *sw);
void stopwatchStop(Stopwatch *sw);
int32_t stopwatchRead(const Stopwatch *sw);
void stopwatchClear(Stopwatch *sw);

