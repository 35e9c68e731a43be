#!/usr/bin/env bash
# Installs the chess.js referee with npm into DIR (once) and prints DIR.
set -eu
NODE_DIR=${1:?usage: install_chessjs.sh DIR}
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node and npm are needed for the chess.js referee" >&2
  exit 1
fi
if [ ! -f "$NODE_DIR/node_modules/chess.js/package.json" ]; then
  mkdir -p "$NODE_DIR"
  (cd "$NODE_DIR" && npm install --no-audit --no-fund --silent --prefix "$NODE_DIR" chess.js@1.4.0 >/dev/null)
fi
