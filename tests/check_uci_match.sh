#!/usr/bin/env bash
# Self-play match of tessel_uci against itself with pondering, refereed by
# chess.js (installed here with npm into a folder beside the bin dir):
# 0 illegal moves, hangs, time losses and crashes. $1: the bin dir.
set -eu
BIN=${1:?usage: check_uci_match.sh BIN_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
NODE_DIR="$(cd "$BIN/.." && pwd)/match-node"
GAMES=${TESSEL_MATCH_GAMES:-4}

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "check_uci_match: node and npm are needed" >&2
  exit 1
fi
if [ ! -f "$NODE_DIR/node_modules/chess.js/package.json" ]; then
  mkdir -p "$NODE_DIR"
  (cd "$NODE_DIR" && npm install --no-audit --no-fund --silent --prefix "$NODE_DIR" chess.js@1.4.0 >/dev/null)
fi
exec timeout 900 node "$HERE/match/match.js" --engine "$BIN/tessel_uci" --chessjs "$NODE_DIR" \
  --games "$GAMES" --base 8000 --inc 100 --threads 2
