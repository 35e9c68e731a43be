#!/usr/bin/env bash
# Time to a fixed depth with 1, 2, 4 and 8 search threads on a fixed set of
# middlegame positions, through the UCI program (so any build can be timed),
# and the speed-up over one thread. Each figure is the median of three runs
# of the whole set, every run in a fresh process (empty table); with an old
# build the two are timed in turns, so that both see the same machine load.
# Beside each new time: the nodes of the whole set (median, and the lowest and
# highest run) and their ratio to the nodes with one thread, the extra nodes
# that the helpers search.
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

# Milliseconds to search every position to $depth with $2 threads (program $1),
# and the nodes searched (the last count each search reports).
time_set() {
  local uci="$1/tessel_uci" threads="$2" total=0 nodes=0 last fen line start
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
    last=0
    while read -r line <&"${ENGINE[0]}"; do
      [[ "$line" == bestmove* ]] && break
      [[ "$line" =~ \ nodes\ ([0-9]+) ]] && last=${BASH_REMATCH[1]}
    done
    total=$((total + $(now_ms) - start))
    nodes=$((nodes + last))
    printf 'quit\n' >&"${ENGINE[1]}"
    wait "$ENGINE_PID" 2>/dev/null || true
  done
  echo "$total $nodes"
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Each run times the old build (when given) and then the new one, so that both
# see the same load of a shared machine.
printf 'time to depth %s, %d middlegame positions, median of %d runs, hash %s MB\n' \
  "$depth" "${#positions[@]}" "$runs" "$hash_mb"
# The nodes columns: median, lowest and highest total of the runs, and the
# median over the one-thread median (the growth of the tree).
nodes_head=$(printf '%12s %25s %7s' "nodes" "lowest-highest" tree)
if [[ $# -ge 2 ]]; then
  printf '%-8s %12s %9s %12s %9s %s\n' threads "old ms" speedup "new ms" speedup "$nodes_head"
else
  printf '%-8s %12s %9s %s\n' threads ms speedup "$nodes_head"
fi
old1=0 new1=0 nodes1=0
for t in "${thread_counts[@]}"; do
  old_times=() new_times=() new_nodes=()
  for ((r = 0; r < runs; r++)); do
    if [[ $# -ge 2 ]]; then
      read -r ms nodes <<<"$(time_set "$2" "$t")"
      old_times+=("$ms")
    fi
    read -r ms nodes <<<"$(time_set "$1" "$t")"
    new_times+=("$ms")
    new_nodes+=("$nodes")
  done
  new_ms=$(median "${new_times[@]}")
  [[ $t -eq 1 ]] && new1=$new_ms
  mid_nodes=$(median "${new_nodes[@]}")
  [[ $t -eq 1 ]] && nodes1=$mid_nodes
  range=$(printf '%s\n' "${new_nodes[@]}" | sort -n | sed -n '1p;$p' | paste -sd-)
  nodes_cols=$(awk -v m="$mid_nodes" -v r="$range" -v m1="$nodes1" 'BEGIN {printf "%12d %25s %6.2fx", m, r, m / m1}')
  if [[ $# -ge 2 ]]; then
    old_ms=$(median "${old_times[@]}")
    [[ $t -eq 1 ]] && old1=$old_ms
    awk -v t="$t" -v o="$old_ms" -v o1="$old1" -v n="$new_ms" -v n1="$new1" -v c="$nodes_cols" \
      'BEGIN {printf "%-8d %12d %8.2fx %12d %8.2fx %s\n", t, o, o1 / o, n, n1 / n, c}'
  else
    awk -v t="$t" -v n="$new_ms" -v n1="$new1" -v c="$nodes_cols" 'BEGIN {printf "%-8d %12d %8.2fx %s\n", t, n, n1 / n, c}'
  fi
done
