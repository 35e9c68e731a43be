#!/usr/bin/env bash
# Tablebases through the built tessel_uci ($1: the bin dir), with tables that
# the tests' endgame solver writes: exact mate distances for both colours from
# plain and compressed files, shortest-mate bestmoves, tbhits, the options
# Use_tablebases and NalimovPath during a session, a corrupt file, directories
# and FIFOs under table names, and a session that sets the cache many times.
set -u
BIN=${1:?usage: check_uci_tablebases.sh BIN_DIR}
UCI="$BIN/tessel_uci"
TABLES="$BIN/tb_tables"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passes=0
fails=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passes=$((passes + 1)); else echo "FAIL: $1"; fails=$((fails + 1)); fi
}

mkdir -p "$work/plain" "$work/emd" "$work/none"
"$TABLES" write "$work/plain" kpk krk kqk kbnk || { echo "FAIL: writing the tables"; exit 1; }
"$TABLES" write "$work/emd" compressed kpk krk kqk kbnk || { echo "FAIL: writing compressed tables"; exit 1; }

# session LINE...: one run of the program, fed the lines in turn; a line
# "@bestmove" waits (at most 120 s) for the program's next bestmove before the
# lines after it are sent, so a loaded machine cannot cut a search short.
# Ends with quit and prints everything the program wrote.
session() {
  local out="" line arg
  coproc SESSION { timeout 300 "$UCI" 2>&1; }
  local from=${SESSION[0]} to=${SESSION[1]} pid=$SESSION_PID
  for arg in "$@"; do
    if [ "$arg" = "@bestmove" ]; then
      while IFS= read -r -t 120 line <&"$from"; do
        out+="$line"$'\n'
        [[ $line == bestmove* ]] && break
      done
    else
      printf '%s\n' "$arg" >&"$to"
    fi
  done
  printf 'quit\n' >&"$to" 2>/dev/null
  while IFS= read -r -t 30 line <&"$from"; do out+="$line"$'\n'; done
  wait "$pid" 2>/dev/null
  printf '%s' "$out"
}

# search OPTIONS_PATH FEN [EXTRA SETOPTION LINES...]: one depth-10 search.
search() {
  local path=$1 fen=$2
  shift 2
  session uci "setoption name OwnBook value false" "setoption name NalimovPath value $path" "$@" \
    isready "position fen $fen" "go depth 10" @bestmove
}
last_score() { grep '^info score' <<<"$1" | tail -n 1; }
max_tbhits() { grep -oE 'tbhits [0-9]+' <<<"$1" | awk '{print $2}' | sort -n | tail -n 1; }

# ---- exact distances: the longest wins of each table, both colours ----
for dir in plain emd; do
  for name in krk kqk kbnk kpk; do
    for colour in white black; do
      if [ $colour = white ]; then fen=$("$TABLES" longest $name | head -n 1); else fen=$("$TABLES" longest $name black | head -n 1); fi
      mate=$("$TABLES" value "$fen")
      out=$(search "$work/$dir" "$fen")
      what="$dir $name, $colour to move ($fen)"
      check "$what: info score mate $mate" grep -q "score mate $mate " <<<"$(last_score "$out")"
      check "$what: tbhits above 0" test "$(max_tbhits "$out")" -gt 0
      best=$(grep -m1 '^bestmove' <<<"$out" | awk '{print $2}')
      after=$("$TABLES" value "$fen" "$best")
      check "$what: bestmove $best keeps the shortest mate (value after: $after)" test "$after" = "-$mate"
    done
  done
done

krk=$("$TABLES" longest krk | head -n 1)
out=$(search "$work/plain" "$krk")
check "the published longest KRK mate is 16" grep -q "score mate 16 " <<<"$(last_score "$out")"

# ---- options ----
out=$(search "$work/plain" "$krk" "setoption name Use_tablebases value false")
check "Use_tablebases false: no tablebase hits" test "$(max_tbhits "$out")" -eq 0
check "Use_tablebases false: still a bestmove" grep -q '^bestmove [a-h]' <<<"$out"

out=$(session uci "setoption name OwnBook value false" "setoption name NalimovPath value $work/none" isready \
  "position fen $krk" "go depth 10" @bestmove \
  "setoption name NalimovPath value $work/emd" isready "position fen $krk" "go depth 10" @bestmove)
first=$(sed -n '1,/^bestmove/p' <<<"$out")
second=$(sed -n '/^bestmove/,$p' <<<"$out" | tail -n +2)
check "NalimovPath without tables: no hits" test "$(max_tbhits "$first")" -eq 0
check "NalimovPath changed during the session: hits" test "$(max_tbhits "$second")" -gt 0
check "... and the exact distance" grep -q "score mate 16 " <<<"$(last_score "$second")"

# ---- a corrupt table file ends the program ----
mkdir -p "$work/bad"
head -c 27029 "$work/plain/krk.nbw" >"$work/bad/krk.nbw"
out=$(printf 'uci\nsetoption name NalimovPath value %s\nisready\nquit\n' "$work/bad" | timeout 30 "$UCI" 2>&1)
rc=$?
check "a file one byte short: the corrupted-file line" grep -qxF "*** $work/bad/krk.nbw corrupted 27030 27030 27029" <<<"$out"
check "... and exit code 1 (was $rc)" test "$rc" -eq 1

# ---- only regular files are tables ----
# live_*: one session driven line by line. live_wait PREFIX SECONDS reads the
# program's lines (kept in $said) up to one that begins with PREFIX; false when
# SECONDS pass without a line.
live_start() {
  said=""
  coproc LIVE { timeout 300 "$UCI" 2>&1; }
  live_pid=$LIVE_PID
}
live_send() { printf '%s\n' "$@" >&"${LIVE[1]}"; }
live_wait() {
  local line
  while IFS= read -r -t "$2" line <&"${LIVE[0]}"; do
    said+="$line"$'\n'
    [[ $line == "$1"* ]] && return 0
  done
  return 1
}
live_end() {  # quit; a program that hangs is stopped
  live_send quit 2>/dev/null
  live_wait never 10
  kill -0 "$live_pid" 2>/dev/null && kill "$live_pid"
  wait "$live_pid" 2>/dev/null
}
now_ms() { local t=${EPOCHREALTIME/./}; echo $((10#$t / 1000)); }
under_a_second() { [[ $1 =~ ^[0-9]+$ ]] && (($1 < 1000)); }

# A directory and a FIFO under table names beside a good krk: registration
# passes them over at once (a FIFO's open would otherwise wait for a writer).
mkdir -p "$work/odd"
"$TABLES" write "$work/odd" krk || { echo "FAIL: writing the tables"; exit 1; }
mkdir "$work/odd/kqk.nbw" "$work/odd/kpk_nbb.emd"
mkfifo "$work/odd/kqk.nbb" "$work/odd/kpk.nbw.emd"
live_start
live_send uci "setoption name OwnBook value false" "setoption name NalimovPath value $work/odd"
start=$(now_ms)
live_send isready
if live_wait readyok 10; then
  took="$(($(now_ms) - start))"
  live_send "position fen $krk" "go depth 10"
  live_wait bestmove 120
else
  took="over 10000"
fi
live_end
check "directory and FIFO of table names: readyok within a second (took $took ms)" under_a_second "$took"
check "... no *** line" test -z "$(grep '^\*\*\*' <<<"$said")"
check "... a bestmove" grep -q '^bestmove [a-h]' <<<"$said"
check "... and krk still hit (tbhits $(max_tbhits "$said"))" test "$(max_tbhits "$said")" -gt 0

# The registered krk files swapped for a directory and a FIFO before the search:
# every probe answers unknown and the search still ends.
mkdir -p "$work/swap"
"$TABLES" write "$work/swap" krk || { echo "FAIL: writing the tables"; exit 1; }
live_start
live_send uci "setoption name OwnBook value false" "setoption name NalimovPath value $work/swap" isready
live_wait readyok 30
rm "$work/swap/krk.nbw" "$work/swap/krk.nbb"
mkdir "$work/swap/krk.nbw"
mkfifo "$work/swap/krk.nbb"
live_send "position fen $krk" "go depth 10"
live_wait bestmove 120
live_end
check "krk swapped for a directory and a FIFO: still a bestmove" grep -q '^bestmove [a-h]' <<<"$said"
check "... no *** line" test -z "$(grep '^\*\*\*' <<<"$said")"
check "... and no tablebase hits" test "$(max_tbhits "$said")" -eq 0

# ---- the cache options set many times do not grow the process ----
coproc ENG { timeout 120 "$UCI" 2>&1; }
pid=$ENG_PID
printf 'uci\nsetoption name NalimovPath value %s\nisready\n' "$work/plain" >&"${ENG[1]}"
wait_ready() {
  local line
  while IFS= read -r -t 30 line <&"${ENG[0]}"; do [ "$line" = readyok ] && return 0; done
  return 1
}
vm_size() { awk '/^VmSize/ {print $2}' "/proc/$pid/status"; }
wait_ready
for i in 1 2 3 4 5; do printf 'setoption name NalimovCache value 64\nisready\n' >&"${ENG[1]}"; wait_ready; done
before=$(vm_size)
for i in $(seq 1 30); do printf 'setoption name NalimovCache value %d\nisready\n' $((64 - i % 2)) >&"${ENG[1]}"; wait_ready; done
after=$(vm_size)
printf 'quit\n' >&"${ENG[1]}"
wait "$pid" 2>/dev/null
# Thirty kept buffers would add about 1.9 GB; allow allocator slack of 128 MB.
check "30 cache changes: virtual size $before kB -> $after kB" test $((after - before)) -lt 131072

echo "check_uci_tablebases: $passes passed, $fails failed"
((fails == 0))
