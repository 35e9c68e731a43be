#!/usr/bin/env bash
# Tessel against Toga II (Debian package toga2), one thread each, refereed by
# chess.js, writing a PGN with each engine's score, depth and time per move.
# Installs toga2 and stockfish (the analyst of bench/analyse.js) with apt-get
# when missing. Not part of the test run: a 40-game match takes hours.
#
# bench/versus.sh BIN_DIR [GAMES] [BASE_MS] [INC_MS] [PGN] [extra match.js options...]
# e.g. bench/versus.sh build/bin 40 40000 400 versus.pgn
# The games start from bench/openings.fen (each opening twice, colours
# exchanged); OPENINGS= (empty) plays from the start position instead.
set -eu
BIN=$(cd "${1:?usage: versus.sh BIN_DIR [GAMES] [BASE_MS] [INC_MS] [PGN] [options...]}" && pwd)
GAMES=${2:-2}
BASE=${3:-8000}
INC=${4:-80}
PGN=${5:-versus.pgn}
shift $(($# < 5 ? $# : 5))
HERE=$(cd "$(dirname "$0")" && pwd)
NODE_DIR="$(cd "$BIN/.." && pwd)/match-node"

missing=""
for p in toga2 stockfish; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
if [ -n "$missing" ]; then
  apt-get install -y -qq $missing >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null && apt-get install -y -qq $missing >/dev/null; }
fi
TOGA=$(dpkg -L toga2 | grep -m1 '/toga2$')
OPENINGS=${OPENINGS-$HERE/openings.fen}
set -- ${OPENINGS:+--fens "$OPENINGS"} "$@"

bash "$HERE/../tests/match/install_chessjs.sh" "$NODE_DIR"
exec node "$HERE/../tests/match/match.js" --engine "$BIN/tessel_uci" --engine2 "$TOGA" \
  --options "Threads=1" --options2 "Threads=1" --chessjs "$NODE_DIR" \
  --games "$GAMES" --base "$BASE" --inc "$INC" --maxplies 600 --strict 0 --pgn "$PGN" "$@"
