#!/usr/bin/env bash
# Builds the project twice (release, and AddressSanitizer + UBSan) and runs
# every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)

# The independent tablebase that the endgame solver's oracle test compares with
# (the test skips without it): installed when apt can, never a reason to fail.
oracle_packages="gaviotatb libgaviotatb-dev"
if command -v apt-get >/dev/null 2>&1 && command -v dpkg >/dev/null 2>&1 &&
   ! dpkg -s $oracle_packages >/dev/null 2>&1; then
  apt-get install -y -qq $oracle_packages >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 && apt-get install -y -qq $oracle_packages >/dev/null 2>&1; } ||
    echo "note: $oracle_packages not installed; the tablebase oracle test will be skipped"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$jobs" -LE slow)

# ThreadSanitizer: the condition variable, the helper-thread stress test, split searches and the module harness.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_TSAN=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target test_platform test_threads test_search_threads test_module tessel_module
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs" \
  -R '^(Condition|Semaphore|ThreadPool|CopyBoard|ThreadStress|SearchThreads|ModuleTest)\.')
