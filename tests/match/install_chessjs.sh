#!/usr/bin/env bash
# Installs the chess.js referee with npm into DIR (once). Several checks may
# call this at the same time on a fresh build folder: the install runs under a
# lock, so each waits for one finished install instead of reading a half one.
set -eu
NODE_DIR=${1:?usage: install_chessjs.sh DIR}
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node and npm are needed for the chess.js referee" >&2
  exit 1
fi
mkdir -p "$NODE_DIR"
exec 9>"$NODE_DIR.lock"
flock 9
if [ ! -f "$NODE_DIR/node_modules/chess.js/package.json" ]; then
  (cd "$NODE_DIR" && npm install --no-audit --no-fund --silent --prefix "$NODE_DIR" chess.js@1.4.0 >/dev/null)
fi
