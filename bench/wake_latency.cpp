// Wake-up latency of the condition the helper threads wait on: two threads
// pass a token back and forth (each works a while, signals the other and
// waits), beside 0 .. processors-1 threads that keep processors busy. The time
// from a signal to the woken thread running shows what each hand-over of a
// job costs on this machine, and how it depends on whether idle processors
// exist (a woken thread is put on an idle processor when there is one).
// Usage: wake_latency [rounds per measurement, default 2000]
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/condition.h"
#include "platform/platform.h"

namespace {
constexpr int WORK_MICROS = 300;  // a short job before each hand-over

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void work(int micros) {
  const int64_t end = nowNs() + micros * 1000LL;
  volatile uint64_t x = 1;
  while (nowNs() < end)
    for (int i = 0; i < 64; i++) x = x * 6364136223846793005ULL + 1;
}

// The token: whose turn it is, under a mutex, with a condition to wait on.
struct Token {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  PlatformCondition cond;
  int turn = 0;
  int64_t signalledAt = 0;
};

void player(Token *t, int me, int rounds, std::vector<int64_t> *latencies) {
  for (int r = 0; r < rounds; r++) {
    pthread_mutex_lock(&t->mutex);
    while (t->turn != me) conditionWait(&t->cond, &t->mutex);
    if (t->signalledAt) latencies->push_back(nowNs() - t->signalledAt);
    pthread_mutex_unlock(&t->mutex);
    work(WORK_MICROS);
    pthread_mutex_lock(&t->mutex);
    t->turn = 1 - me;
    t->signalledAt = nowNs();
    pthread_mutex_unlock(&t->mutex);
    conditionBroadcast(&t->cond);
  }
}

// Latencies in microseconds (sorted) with `busy` other processors kept busy.
std::vector<double> measure(int busy, int rounds) {
  std::atomic<bool> running{true};
  std::vector<std::thread> spinners;
  for (int i = 0; i < busy; i++)
    spinners.emplace_back([&running] {
      while (running.load(std::memory_order_relaxed)) work(1000);
    });
  Token token;
  std::vector<int64_t> a, b;
  std::thread first(player, &token, 0, rounds, &a), second(player, &token, 1, rounds, &b);
  first.join();
  second.join();
  running.store(false);
  for (std::thread &s : spinners) s.join();
  std::vector<double> us;
  for (int64_t v : a) us.push_back(v / 1000.0);
  for (int64_t v : b) us.push_back(v / 1000.0);
  std::sort(us.begin(), us.end());
  return us;
}
}  // namespace

int main(int argc, char **argv) {
  const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  const int cpus = platformCpuCount();
  std::printf("wake-up latency (microseconds), %d processors, %d us of work between hand-overs\n", cpus,
              WORK_MICROS);
  std::printf("%-6s %8s %8s %8s\n", "busy", "median", "p90", "mean");
  for (int busy = 0; busy < cpus; busy++) {
    std::vector<double> us = measure(busy, rounds);
    if (us.empty()) continue;
    double mean = 0;
    for (double v : us) mean += v;
    mean /= us.size();
    std::printf("%-6d %8.1f %8.1f %8.1f\n", busy, us[us.size() / 2], us[us.size() * 9 / 10], mean);
  }
  return 0;
}
