#!/usr/bin/env bash
# The perft benchmark program: the standard positions at shallow depths by the
# generators and through the picker, and a divide listing that sums to the count.
set -euo pipefail
bin="$1"
"$bin/perft" --suite --shallow
"$bin/perft" --suite --shallow --picker
kiwipete="r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"
out=$("$bin/perft" --divide "$kiwipete" 2)
lines=$(grep -c '^[a-h][1-8][a-h][1-8][rbn]*: ' <<<"$out")
sum=$(grep '^[a-h][1-8][a-h][1-8][rbn]*: ' <<<"$out" | awk '{s += $2} END {print s}')
total=$(awk '/^nodes/ {print $2}' <<<"$out")
[ "$lines" -eq 48 ] || { echo "divide lists $lines moves, expected 48"; exit 1; }
[ "$sum" -eq 2039 ] && [ "$total" -eq 2039 ] || { echo "divide sums to $sum / $total, expected 2039"; exit 1; }
# a rejected FEN and a missing depth are usage errors
if "$bin/perft" "8/8/8 w" 1 >/dev/null 2>&1; then echo "bad FEN accepted"; exit 1; fi
if "$bin/perft" >/dev/null 2>&1; then echo "usage not reported"; exit 1; fi
echo "perft checks passed"
