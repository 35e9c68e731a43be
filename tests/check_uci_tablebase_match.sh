#!/usr/bin/env bash
# Self-play from five-man endgames with tablebases present (the tests'
# solver writes kpk, krk, kqk, kqkr, kbnk and kbbk), refereed by chess.js: no
# illegal move, hang, time loss or crash, and tablebase hits reported.
# $1: the bin dir.
set -eu
BIN=${1:?usage: check_uci_tablebase_match.sh BIN_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
NODE_DIR="$(cd "$BIN/.." && pwd)/match-node"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$HERE/match/install_chessjs.sh" "$NODE_DIR"
"$BIN/tb_tables" write "$work"
timeout 900 node "$HERE/match/match.js" --engine "$BIN/tessel_uci" --chessjs "$NODE_DIR" \
  --games 4 --base 6000 --inc 100 --threads 2 --maxplies 200 \
  --fens "$HERE/match/endgames.fen" --tablebases "$work"
