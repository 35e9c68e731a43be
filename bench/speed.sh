#!/usr/bin/env bash
# Search speed in one run on one machine: the single-thread nodes per second
# of bench/search (median of RUNS runs, old beside new when a second build is
# given) and the time to depth with 1, 2, 4 and 8 threads with the speed-ups.
# Usage: bench/speed.sh BIN_DIR [OLD_BIN_DIR]
#   environment: RUNS (nodes/s runs, default 15), DEPTH (thread depth, default 14),
#   THREAD_RUNS (runs per thread count, default 3)
set -euo pipefail
[[ $# -ge 1 ]] || { echo "usage: $0 BIN_DIR [OLD_BIN_DIR]" >&2; exit 2; }
here="$(dirname "$0")"
new="$1"
old="${2:-$1}"
"$here/speed_nodes.sh" "$old" "$new" "${RUNS:-15}" 9
echo
# the old build's thread times only when one is given
RUNS="${THREAD_RUNS:-3}" DEPTH="${DEPTH:-14}" "$here/speed_threads.sh" "$new" ${2:+"$2"}
