#!/usr/bin/env bash
# "isready", "stop" and "quit" answered at once under every kind of search,
# from several positions, with stops after 1, 10 and 500 ms; every bestmove
# refereed by chess.js. $1: the bin dir.
set -eu
BIN=${1:?usage: check_uci_contract.sh BIN_DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
NODE_DIR="$(cd "$BIN/.." && pwd)/match-node"

bash "$HERE/match/install_chessjs.sh" "$NODE_DIR"
exec timeout 800 node "$HERE/match/contract.js" --engine "$BIN/tessel_uci" --chessjs "$NODE_DIR"
