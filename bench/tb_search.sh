#!/usr/bin/env bash
# The search's speed on tablebase endgames with and without tables: the tests'
# solver writes its tables, then tessel_uci searches each position to a fixed
# depth once without and once with NalimovPath set. Run after a release build:
#   bench/tb_search.sh [BIN_DIR, default build/bin] [DEPTH, default 16]
set -eu
BIN=${1:-build/bin}
DEPTH=${2:-16}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BIN/tb_tables" write "$work"

positions=(
  "8/8/8/8/8/7B/8/Nk5K w - - 0 1"       # KBNK, mate in 33
  "8/8/3k4/8/8/2r5/8/4K2Q w - - 0 1"    # KQKR
  "8/8/8/1k6/8/8/K5P1/8 w - - 0 1"      # KPK
)
# run PATH FEN: the last info line of one search.
run() {
  { printf 'uci\nsetoption name OwnBook value false\nsetoption name Threads value 1\n'
    printf 'setoption name NalimovPath value %s\nisready\nposition fen %s\ngo depth %s\n' "$1" "$2" "$DEPTH"
    sleep 0.2
    while :; do sleep 0.2; printf 'isready\n'; done; } |
    timeout 120 "$BIN/tessel_uci" | sed -n '/^bestmove/q;p' | grep '^info score' | tail -n 1
}
printf '%-36s %-9s %10s %8s %9s %s\n' position tables nodes time nps score
for fen in "${positions[@]}"; do
  for mode in without with; do
    path="$work/none"
    [ $mode = with ] && path=$work
    line=$(run "$path" "$fen")
    field() { grep -oE "$1 [-0-9]+" <<<"$line" | awk '{print $2}'; }
    score=$(grep -oE 'score (cp|mate) -?[0-9]+' <<<"$line")
    printf '%-36s %-9s %10s %8s %9s %s\n' "$fen" "$mode" "$(field nodes)" "$(field time)" "$(field nps)" "$score"
  done
done
