#!/usr/bin/env bash
# Forced mates through the built tessel_uci ($1: the bin dir): the program must
# report the mate distance and play the mating move, for either colour.
set -u
BIN=${1:?usage: check_search_mates.sh BIN_DIR}
UCI="$BIN/tessel_uci"
fails=0

# search FEN DEPTH: the engine's output for one fixed-depth search.
search() {
  (printf 'uci\nposition fen %s\ngo depth %s\n' "$1" "$2"; sleep 4; printf 'quit\n') | timeout 30 "$UCI" 2>/dev/null
}
# expect NAME FEN DEPTH MATE BESTMOVE (BESTMOVE "-" accepts any move)
expect() {
  local out last
  out=$(search "$2" "$3")
  last=$(printf '%s\n' "$out" | grep '^info score' | tail -1)
  if ! printf '%s\n' "$last" | grep -q "score mate $4 "; then
    echo "FAIL: $1: expected mate $4, last info: $last"
    fails=$((fails + 1))
  fi
  if [ "$5" != "-" ] && ! printf '%s\n' "$out" | grep -q "^bestmove $5"; then
    echo "FAIL: $1: expected bestmove $5, got: $(printf '%s\n' "$out" | grep '^bestmove')"
    fails=$((fails + 1))
  fi
}

expect "back-rank mate" "6k1/5ppp/8/8/8/8/8/R5K1 w - -" 6 1 a1a8
expect "scholar's mate" "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -" 6 1 h5f7
expect "fool's mate" "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq -" 6 1 d8h4
expect "king and rook, mate in two" "k7/8/2K5/8/8/8/8/7R w - -" 8 2 -
expect "queen sacrifice, mate in two" "r6k/6pp/8/8/8/8/1Q4PP/1R4K1 w - -" 8 2 b2b8
expect "black mates in three" "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -" 10 3 -

if [ "$fails" -gt 0 ]; then
  echo "$fails check(s) failed"
  exit 1
fi
echo "all mate checks passed"
