#!/usr/bin/env bash
# Single-thread search speed of two builds side by side: runs `search <depth>`
# of each build's bin directory in turn, RUNS times each (alternating, so that
# both see the same machine load), and prints the median nodes per second of
# each, the ratio new/old and whether both kept the same node count. On a
# shared machine whose load drifts, the median of each pair's ratio (the two
# runs of one round, back to back) is the steadier figure.
# Usage: bench/speed_nodes.sh OLD_BIN_DIR NEW_BIN_DIR [RUNS] [DEPTH]
set -euo pipefail
[[ $# -ge 2 ]] || { echo "usage: $0 OLD_BIN_DIR NEW_BIN_DIR [RUNS] [DEPTH]" >&2; exit 2; }
old="$1/search"
new="$2/search"
runs="${3:-9}"
depth="${4:-9}"
for b in "$old" "$new"; do
  [[ -x "$b" ]] || { echo "no search program at $b" >&2; exit 2; }
done

# One run: prints "<nodes> <nps>" from the program's total line.
one() { "$1" "$depth" | awk '$1 == "depth" {print $4, $9}'; }

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

oldRates=() newRates=() pairRatios=()
oldNodes="" newNodes=""
for ((i = 1; i <= runs; i++)); do
  read -r n r < <(one "$old"); oldNodes=$n; oldRates+=("$r")
  read -r n r < <(one "$new"); newNodes=$n; newRates+=("$r")
  pairRatios+=("$(awk -v a="${oldRates[-1]}" -v b="$r" 'BEGIN {printf "%.5f", b / a}')")
done
oldMed=$(printf '%s\n' "${oldRates[@]}" | median)
newMed=$(printf '%s\n' "${newRates[@]}" | median)
printf 'search %d, %d runs each (median nodes/s)\n' "$depth" "$runs"
printf '  old %-40s nodes %10s  nps %10.0f\n' "$1" "$oldNodes" "$oldMed"
printf '  new %-40s nodes %10s  nps %10.0f\n' "$2" "$newNodes" "$newMed"
awk -v a="$oldMed" -v b="$newMed" 'BEGIN {printf "  speed-up new/old: %.3fx\n", b / a}'
printf '  median of the paired ratios: %.3fx\n' "$(printf '%s\n' "${pairRatios[@]}" | median)"
[[ "$oldNodes" == "$newNodes" ]] || echo "  node counts differ: the builds do not search the same tree"
