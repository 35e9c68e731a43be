#!/usr/bin/env bash
# Self-play match of tessel_uci against itself with pondering, refereed by
# chess.js (installed here with npm into a folder beside the bin dir):
# 0 illegal moves, hangs, time losses and crashes. $1: the bin dir.
set -eu
BIN=${1:?usage: check_uci_match.sh BIN_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
NODE_DIR="$(cd "$BIN/.." && pwd)/match-node"
GAMES=${TESSEL_MATCH_GAMES:-4}

bash "$HERE/match/install_chessjs.sh" "$NODE_DIR"
exec timeout 900 node "$HERE/match/match.js" --engine "$BIN/tessel_uci" --chessjs "$NODE_DIR" \
  --games "$GAMES" --base 8000 --inc 100 --threads 2
