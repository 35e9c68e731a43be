#!/usr/bin/env bash
# Time to a fixed depth with 1, 2, 4 and 8 search threads on a fixed set of
# middlegame positions, through the UCI program (so any build can be timed),
# and the speed-up over one thread. Each figure is the median of three runs
# of the whole set, every run in a fresh process (empty table).
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

# Prints "threads ms" lines for one build.
measure() {
  local t r times
  for t in "${thread_counts[@]}"; do
    times=()
    for ((r = 0; r < runs; r++)); do times+=("$(time_set "$1" "$t")"); done
    echo "$t $(median "${times[@]}")"
  done
}

echo "time to depth $depth, ${#positions[@]} middlegame positions, median of $runs runs, hash $hash_mb MB"
new=$(measure "$1")
if [[ $# -ge 2 ]]; then
  old=$(measure "$2")
  printf '%-8s %12s %9s %12s %9s\n' threads "old ms" speedup "new ms" speedup
  paste <(echo "$old") <(echo "$new") | awk '
    NR == 1 {o1 = $2; n1 = $4}
    {printf "%-8d %12d %8.2fx %12d %8.2fx\n", $1, $2, o1 / $2, $4, n1 / $4}'
else
  printf '%-8s %12s %9s\n' threads ms speedup
  echo "$new" | awk 'NR == 1 {t1 = $2} {printf "%-8d %12d %8.2fx\n", $1, $2, t1 / $2}'
fi
