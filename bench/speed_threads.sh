#!/usr/bin/env bash
# Time to a fixed depth with 1, 2, 4 and 8 search threads on a fixed set of
# middlegame positions, through the UCI program (so any build can be timed),
# and the speed-up over one thread. Each figure is the median of three runs
# of the whole set, every run in a fresh process (empty table); with an old
# build the two are timed in turns, so that both see the same machine load.
# Usage: bench/speed_threads.sh BIN_DIR [OLD_BIN_DIR]
#   environment: DEPTH (default 14), RUNS (default 3), HASH_MB (default 64)
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: $0 BIN_DIR [OLD_BIN_DIR]" >&2; exit 2; }
depth=${DEPTH:-14}
runs=${RUNS:-3}
hash_mb=${HASH_MB:-64}
thread_counts=(1 2 4 8)
positions=(
  "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10"
  "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 12"
  "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
)

now_ms() { date +%s%3N; }

# Milliseconds to search every position to $depth with $2 threads (program $1).
time_set() {
  local uci="$1/tessel_uci" threads="$2" total=0 fen line start
  [[ -x "$uci" ]] || { echo "no $uci" >&2; exit 1; }
  for fen in "${positions[@]}"; do
    coproc ENGINE { "$uci"; }
    printf 'uci\nsetoption name OwnBook value false\nsetoption name Use_tablebases value false\n' >&"${ENGINE[1]}"
    printf 'setoption name Hash value %s\nsetoption name Threads value %s\nisready\n' "$hash_mb" "$threads" >&"${ENGINE[1]}"
    while read -r line <&"${ENGINE[0]}"; do [[ "$line" == readyok* ]] && break; done
    printf 'ucinewgame\nposition fen %s\nisready\n' "$fen" >&"${ENGINE[1]}"
    while read -r line <&"${ENGINE[0]}"; do [[ "$line" == readyok* ]] && break; done
    start=$(now_ms)
    printf 'go depth %s\n' "$depth" >&"${ENGINE[1]}"
    while read -r line <&"${ENGINE[0]}"; do [[ "$line" == bestmove* ]] && break; done
    total=$((total + $(now_ms) - start))
    printf 'quit\n' >&"${ENGINE[1]}"
    wait "$ENGINE_PID" 2>/dev/null || true
  done
  echo "$total"
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Each run times the old build (when given) and then the new one, so that both
# see the same load of a shared machine.
printf 'time to depth %s, %d middlegame positions, median of %d runs, hash %s MB\n' \
  "$depth" "${#positions[@]}" "$runs" "$hash_mb"
if [[ $# -ge 2 ]]; then
  printf '%-8s %12s %9s %12s %9s\n' threads "old ms" speedup "new ms" speedup
else
  printf '%-8s %12s %9s\n' threads ms speedup
fi
old1=0 new1=0
for t in "${thread_counts[@]}"; do
  old_times=() new_times=()
  for ((r = 0; r < runs; r++)); do
    [[ $# -ge 2 ]] && old_times+=("$(time_set "$2" "$t")")
    new_times+=("$(time_set "$1" "$t")")
  done
  new_ms=$(median "${new_times[@]}")
  [[ $t -eq 1 ]] && new1=$new_ms
  if [[ $# -ge 2 ]]; then
    old_ms=$(median "${old_times[@]}")
    [[ $t -eq 1 ]] && old1=$old_ms
    awk -v t="$t" -v o="$old_ms" -v o1="$old1" -v n="$new_ms" -v n1="$new1" \
      'BEGIN {printf "%-8d %12d %8.2fx %12d %8.2fx\n", t, o, o1 / o, n, n1 / n}'
  else
    awk -v t="$t" -v n="$new_ms" -v n1="$new1" 'BEGIN {printf "%-8d %12d %8.2fx\n", t, n, n1 / n}'
  fi
done
