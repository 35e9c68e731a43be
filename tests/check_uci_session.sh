#!/usr/bin/env bash
# Scripted UCI sessions through the built tessel_uci ($1: the bin dir):
# identification and options, readiness, option effects, position errors,
# game-end lines, searches with their info lines, stop, isready during a
# search, ponderhit and stop of ponder searches, quit during a search,
# hostile input, and a missing engine module.
set -u
BIN=${1:?usage: check_uci_session.sh BIN_DIR}
UCI="$BIN/tessel_uci"
passes=0
fails=0

ok() { passes=$((passes + 1)); }
bad() {
  fails=$((fails + 1))
  echo "FAIL: $*"
}
# check NAME COMMAND...: passes when the command succeeds.
check() {
  local name=$1
  shift
  if "$@"; then ok; else bad "$name"; fi
}

# feed ITEMS...: prints each item as a line; "@N" sleeps N seconds instead.
feed() {
  local item
  for item in "$@"; do
    case $item in
      @*) sleep "${item#@}" ;;
      *) printf '%s\n' "$item" ;;
    esac
  done
}
# session ITEMS...: runs one engine on the items; output in $OUT, exit code in $RC.
session() {
  OUT=$(feed "$@" | timeout 60 "$UCI" 2>&1)
  RC=$?
  sanitizer_check "$OUT"
}
# A sanitizer build reports on the engine's output: any report is a failure.
sanitizer_check() {
  if grep -qE 'AddressSanitizer|runtime error|ThreadSanitizer|LeakSanitizer' <<<"$1"; then
    bad "sanitizer report:"
    grep -E -m3 'Sanitizer|runtime error' <<<"$1"
  fi
}
has_line() { grep -qxF -- "$1" <<<"$OUT"; }
count_lines() { grep -c -- "$1" <<<"$OUT"; }

# ---- an engine on a coprocess, for sessions that wait for lines ----
start_engine() {
  coproc ENG { timeout 120 "$UCI" 2>&1; }
  LOG=""
}
send() { printf '%s\n' "$1" >&"${ENG[1]}"; }
# wait_for REGEX [SECONDS]: reads lines into LOG until one matches.
wait_for() {
  local re=$1 t=${2:-20} line start=$SECONDS
  while ((SECONDS - start <= t)) && IFS= read -r -t "$t" line <&"${ENG[0]}"; do
    LOG+="$line"$'\n'
    [[ $line =~ Sanitizer|runtime\ error ]] && bad "sanitizer report: $line"
    [[ $line =~ $re ]] && return 0
  done
  return 1
}
stop_engine() {
  send quit 2>/dev/null
  wait "$ENG_PID" 2>/dev/null
}

START_MOVES="a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4 b1a3 b1c3 g1f3 g1h3"
is_start_move() { [[ " $START_MOVES " == *" $1 "* ]]; }

# ---- identification and options ----
cpus=$(nproc)
((cpus > 40)) && cpus=40
session uci isready quit
expected="id name Tessel 12.5.0.3 UCI
id author Quillon
option name Hash type spin default 16 min 4 max 4095
option name Ponder type check default false
option name OwnBook type check default true
option name Book_file type string default tessel12.5.bin
option name Book_selectivity type spin default 5 min 0 max 30
option name MultiPV type spin default 1 min 1 max 50
option name Contempt type spin default 0 min -500 max 500
option name Use_tablebases type check default true
option name NalimovPath type string default C:\\TBs
option name NalimovCache type spin default 32 min 1 max 256
option name UCI_LimitStrength type check default false
option name UCI_ELO type spin default 3000 min 1200 max 3000
option name Clear_hash type check default false
option name Threads type spin default $cpus min 1 max $cpus
uciok"
check "uci lists the id lines, fourteen options and uciok" test "$(head -n 17 <<<"$OUT")" = "$expected"
check "isready answers readyok" has_line "readyok"
check "quit exits with code 1" test "$RC" -eq 1

session "setoption name Hash value 64" "setoption name book_FILE value my book.bin" uci quit
check "setoption values are listed as the current defaults" has_line "option name Hash type spin default 64 min 4 max 4095"
check "option names ignore case; values keep their blanks" has_line "option name Book_file type string default my book.bin"

session "setoption name Hash value 4096" "setoption name Threads value 0" "setoption name Hash value abc" \
  isready "position startpos" "go depth 3" @3 isready quit
check "Hash 4096, Threads 0, Hash abc: the engine still searches" grep -qE '^bestmove [a-h][1-8][a-h][1-8]' <<<"$OUT"

session "setoption name UCI_LimitStrength value true" "setoption name UCI_ELO value 1500" isready \
  "position startpos" "go depth 12" @4 isready quit
deepest=$(grep -oE '^info (score (cp|mate) -?[0-9]+ )?depth [0-9]+' <<<"$OUT" | awk '{print $NF}' | sort -n | tail -n 1)
check "UCI_ELO 1500 limits the search to depth 3 (deepest $deepest)" test "${deepest:-99}" -le 3
check "limited search still gives a legal move" grep -qE '^bestmove ' <<<"$OUT"

start_engine
send "setoption name MultiPV value 3"
send isready
wait_for '^readyok$'
send "position startpos"
send "go infinite"
wait_for 'multipv 3 pv ' 20
check "MultiPV 3 with go infinite prints three numbered lines" grep -q 'multipv 3 pv ' <<<"$LOG"
check "... and lines 1 and 2" bash -c 'grep -q "multipv 1 pv " <<<"$1" && grep -q "multipv 2 pv " <<<"$1"' _ "$LOG"
send stop
wait_for '^bestmove'
stop_engine

# ---- a missing engine module ----
lonely=$(mktemp -d)
cp "$UCI" "$lonely/"
OUT=$(printf 'uci\nisready\n' | timeout 20 "$lonely/tessel_uci" 2>&1)
RC=$?
check "without the module: exactly one error line" test "$OUT" = "info string Error (Cannot find engine module): "
check "without the module: exit code 255 (was $RC)" test "$RC" -eq 255
rm -rf "$lonely"

# ---- positions, illegal input and game-end lines ----
session isready "position startpos moves f2f3 e7e5 g2g4 d8h4" quit
check "fool's mate: result line" has_line "info string result 0-1 checkmate"
session isready "position startpos moves f2f3 e7e5 g2g4 d8h4" "go depth 3" @1 quit
check "fool's mate: go answers bestmove 0000" has_line "bestmove 0000"

session isready "position fen 7k/8/5Q2/6K1/8/8/8/8 w - - 0 1 moves f6f7" quit
check "stalemate: result line" has_line "info string result 1/2-1/2 stalemate"
session isready "position fen 7k/8/8/8/8/2N5/8/K2r4 w - - 0 1 moves c3d1" quit
check "insufficient material: result line" has_line "info string result 1/2-1/2 draw due to insufficient material"
session isready "position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8" quit
check "threefold repetition: result line" has_line "info string result 1/2-1/2 draw by repetition"
session isready "position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 b1c3" quit
check "a repetition inside the move list prints no result line" test "$(count_lines 'info string result')" -eq 0

# 100 reversible plies without a repeated position: kings on cycles of 16 and 15 squares.
white_cycle=(b1 c1 d1 e1 f1 g1 h1 h2 g2 f2 e2 d2 c2 b2 a2 a1)
black_cycle=(b8 c8 d8 e8 f8 g8 h8 h7 g7 f7 e7 d7 c7 b7 a8)
moves=""
wfrom=a1
bfrom=a8
for ((i = 0; i < 50; i++)); do
  wto=${white_cycle[$((i % 16))]}
  bto=${black_cycle[$((i % 15))]}
  moves+=" $wfrom$wto $bfrom$bto"
  wfrom=$wto
  bfrom=$bto
done
session isready "position fen k7/8/8/p7/P7/8/8/K7 w - - 0 1 moves$moves" quit
check "50-move rule: result line" has_line "info string result 1/2-1/2 draw due to 50-move rule"

session isready "position startpos moves e2e4 e2e4" "go depth 2" @2 quit
check "an illegal move text is reported" has_line "Illegal move: e2e4"
check "... and the moves before it stay played (Black answers)" grep -qE '^bestmove [a-h][78][a-h][56]' <<<"$OUT"

session isready "position fen xyz/8 w - - 0 1 moves e2e4" "go depth 3" @1 \
  "position startpos" "go depth 2" @2 quit
check "a rejected FEN is reported" has_line "info string Illegal position"
check "... its moves are not played" test "$(count_lines 'Illegal move')" -eq 0
check "... go answers bestmove 0000" test "$(sed -n '/Illegal position/,$p' <<<"$OUT" | grep -m1 '^bestmove')" = "bestmove 0000"
last=$(grep '^bestmove' <<<"$OUT" | tail -n 1 | awk '{print $2}')
check "... until a valid position arrives ($last)" is_start_move "$last"

session isready "position startpos moves e2e4 e7e5 Ng1f3 Nb8c6 Bb5 a6 Bxc6 dxc6 O-O" "go depth 2" @2 quit
check "long and short algebraic texts are read" test "$(count_lines 'Illegal move')" -eq 0

# ---- searches ----
session isready "position startpos" "go depth 5" @5 isready quit
check "go depth 5: info lines in the report format" \
  grep -qE '^info score (cp|mate) -?[0-9]+ depth [0-9]+ nodes [0-9]+ nps [0-9]+ tbhits [0-9]+ time [0-9]+ hashfull [0-9]+ pv  [a-h][1-8][a-h][1-8]' <<<"$OUT"
check "go depth 5: exactly one bestmove" test "$(count_lines '^bestmove')" -eq 1
best=$(grep '^bestmove' <<<"$OUT" | awk '{print $2}')
check "go depth 5: the bestmove is legal ($best)" is_start_move "$best"
check "go depth 5: no info line beyond depth 5" \
  bash -c '! grep -qE "^info score .* depth ([6-9]|[1-9][0-9])" <<<"$1"' _ "$OUT"

session isready "position fen 8/4P3/8/8/8/8/k7/7K w - - 0 1" "go depth 4" @3 quit
check "promotions are printed in lower case" grep -qE '^bestmove e7e8[qrbn]( |$)' <<<"$OUT"

start_engine
send isready
wait_for '^readyok$'
send "position startpos"
send "go infinite"
sleep 0.5
send isready
wait_for '^readyok$' 3
check "isready during go infinite answers at once" bash -c '! grep -q "^bestmove" <<<"$1" && grep -q "^readyok" <<<"$1"' _ "$LOG"
LOG=""
send stop
wait_for '^bestmove' 10
send isready
wait_for '^readyok$' 10
check "stop during go infinite gives one bestmove" test "$(grep -c '^bestmove' <<<"$LOG")" -eq 1
b=$(grep '^bestmove' <<<"$LOG" | awk '{print $2}')
check "... a legal one ($b)" is_start_move "$b"
LOG=""
send "go infinite"
sleep 0.3
send stop
send isready
wait_for '^readyok$' 10
check "stop then isready: the bestmove line comes before readyok" grep -q '^bestmove' <<<"$LOG"
LOG=""
send "go wtime 20000 btime 20000"
sleep 0.2
send isready
wait_for '^readyok$' 2
check "isready during a timed search answers at once" bash -c '! grep -q "^bestmove" <<<"$1"' _ "$LOG"
send stop
wait_for '^bestmove' 10
LOG=""
send "position startpos moves e2e4"
send "go movetime 300"
wait_for '^bestmove' 10
check "go movetime 300 ends by itself" grep -q '^bestmove [a-h][78]' <<<"$LOG"
LOG=""
send "go wtime 2000 btime 2000 winc 100 binc 100"
send "go depth 3"
wait_for '^bestmove' 10
wait_for '^bestmove' 10
check "go while a search runs: each go gets its bestmove" test "$(grep -c '^bestmove' <<<"$LOG")" -eq 2
LOG=""
send "position startpos moves e2e4 e7e5"
send "setoption name Hash value 32"
send "go depth 3"
wait_for '^bestmove' 20
check "a hash resize keeps the game (White answers after e4 e5)" grep -qE '^bestmove [a-h][12][a-h][1-8]' <<<"$LOG"
check "... and the answer is no move of the start position" bash -c '! grep -qE "^bestmove e2e4" <<<"$1"' _ "$LOG"
LOG=""
send "go infinite"
sleep 0.3
send "setoption name Contempt value 10"
send isready
wait_for '^readyok$' 10
check "setoption during a search ends the search first" grep -q '^bestmove' <<<"$LOG"
LOG=""
send "go infinite"
sleep 0.3
send "position startpos moves d2d4"
send isready
wait_for '^readyok$' 10
check "position during a search ends the search first" grep -q '^bestmove' <<<"$LOG"
stop_engine

# ponder searches ended by ponderhit after 0, 1 and 50 ms, and by stop
start_engine
send isready
wait_for '^readyok$'
hangs=0
extra=0
for delay in 0 0.001 0.05 stop; do
  for ((i = 0; i < 12; i++)); do
    LOG=""
    send "position startpos moves e2e4 e7e5"
    send "go ponder wtime 1500 btime 1500 winc 50 binc 50"
    if [ "$delay" = stop ]; then
      sleep 0.0$((i % 3))
      send stop
    else
      sleep "$delay"
      send ponderhit
    fi
    if ! wait_for '^bestmove' 10; then hangs=$((hangs + 1)); fi
    send isready
    wait_for '^readyok$' 10 || hangs=$((hangs + 1))
    n=$(grep -c '^bestmove' <<<"$LOG")
    ((n != 1)) && extra=$((extra + 1))
  done
done
check "go ponder with ponderhit or stop never hangs ($hangs hangs)" test "$hangs" -eq 0
check "... and gives exactly one bestmove each time ($extra wrong)" test "$extra" -eq 0
stop_engine

session isready "position fen 7k/8/5Q2/6K1/8/8/8/8 w - - 0 1 moves f6f7" "go ponder" @0.3 stop @0.3 isready quit
check "stop of a ponder search without legal moves: bestmove 0000" has_line "bestmove 0000"

session isready "position startpos" "go infinite" @0.4 quit
check "quit during a search exits with code 1 (was $RC)" test "$RC" -eq 1

# A GUI that stops reading: no SIGPIPE death, the program reads on to "quit".
{ printf 'uci\n'; sleep 0.3; printf 'uci\nisready\nquit\n'; } | timeout 30 "$UCI" | head -c 10 >/dev/null
rc=${PIPESTATUS[1]}
check "a closed output pipe does not kill the program (exit $rc)" test "$rc" -eq 1

# ---- hostile input ----
long=$(head -c 100000 /dev/zero | tr '\0' 'x')
shuffle=""
for ((i = 0; i < 1250; i++)); do shuffle+=" g1f3 g8f6 f3g1 f6g8"; done
game700=""
for ((i = 0; i < 175; i++)); do game700+=" g1f3 g8f6 f3g1 f6g8"; done
OUT=$(
  {
    printf 'uci\r\nisready\r\n'
    printf '%s\n' "$long" "go $long" "position startpos moves$shuffle" "position startpos moves$game700"
    printf '\x01\x02\xff garbage\n\n   \n\t\n'
    printf 'position startpos moves e2e4\r\ngo depth 2\r\n'
    sleep 2
    printf 'isready\n'
  } | timeout 60 "$UCI" 2>&1
)
RC=$?
sanitizer_check "$OUT"
check "hostile input: no crash, no hang (exit $RC)" test "$RC" -eq 1
check "hostile input: CR line ends are read" bash -c 'grep -q "^uciok$" <<<"$1" && [ "$(grep -c "^readyok$" <<<"$1")" -eq 2 ]' _ "$OUT"
check "hostile input: the 100 kB line, the garbage and the tab lines are unknown commands" test "$(count_lines 'Unknown command')" -eq 3
check "hostile input: the search afterwards answers" grep -qE '^bestmove [a-h][78]' <<<"$OUT"
check "hostile input: a 700-ply game is read whole" test "$(count_lines 'Illegal move')" -eq 0

echo "check_uci_session: $passes passed, $fails failed"
((fails == 0))
