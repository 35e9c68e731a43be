#!/usr/bin/env bash
# UCI sessions with generated opening books: a book move is played without a
# search, a position outside the book is searched as usual, and broken or
# missing book files are reported and searched around.
# The books are written here from the keys' definition alone (five 15-bit
# draws per key from seed 0, piece codes 0..12, squares a1..h8, then the side
# key), independently of the program's own key code.
set -uo pipefail
bin=${1:?usage: check_uci_book.sh BIN_DIR}
uci="$bin/tessel_uci"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}

# ---- keys, low 48 bits ----
mask48=$(( (1 << 48) - 1 ))
state=0
keys=()
for ((i = 0; i < 13 * 64 + 1; i++)); do
  k=0
  for ((j = 0; j < 5; j++)); do
    state=$(( (state * 214013 + 2531011) & 0xFFFFFFFF ))
    k=$(( ((k << 15) | ((state >> 16) & 0x7FFF)) & mask48 ))
  done
  keys[i]=$k
done
codeOf() {
  case $1 in
    k) echo 0 ;; q) echo 1 ;; r) echo 2 ;; b) echo 3 ;; n) echo 4 ;; p) echo 5 ;;
    P) echo 7 ;; N) echo 8 ;; B) echo 9 ;; R) echo 10 ;; Q) echo 11 ;; K) echo 12 ;;
  esac
}
# positionKey PLACEMENT SIDE
positionKey() {
  local placement=$1 side=$2 key=0 sq=56 c i
  for ((i = 0; i < ${#placement}; i++)); do
    c=${placement:i:1}
    case $c in
      /) sq=$((sq - 16)) ;;
      [1-8]) sq=$((sq + c)) ;;
      *) key=$(( key ^ keys[$(codeOf "$c") * 64 + sq] )); sq=$((sq + 1)) ;;
    esac
  done
  [[ $side == b ]] && key=$(( key ^ keys[13 * 64] ))
  echo $key
}
# moveWord TEXT: 0x88 from-square in the low byte, to-square in the high byte
moveWord() {
  local t=$1 f r
  f=$(( $(printf '%d' "'${t:0:1}") - 97 + 16 * (${t:1:1} - 1) ))
  r=$(( $(printf '%d' "'${t:2:1}") - 97 + 16 * (${t:3:1} - 1) ))
  echo $(( f | (r << 8) ))
}
# record PLACEMENT SIDE MOVE WEIGHT -> one line: sort key (hex bytes) and the 12 bytes
record() {
  local key move weight hex="" bytes="" i b
  key=$(positionKey "$1" "$2"); move=$(moveWord "$3"); weight=$4
  for ((i = 0; i < 6; i++)); do b=$(( (key >> (8 * i)) & 255 )); hex+=$(printf '%02x' $b); bytes+=$(printf '\\x%02x' $b); done
  bytes+='\xff\xff'
  bytes+=$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((move & 255)) $((move >> 8)) $((weight & 255)) $((weight >> 8)))
  echo "$hex $bytes"
}
# writeBook FILE < records
writeBook() {
  LC_ALL=C sort -s -k1,1 | while read -r _ bytes; do printf "$bytes"; done > "$1"
}

START=rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR
AFTER_E4=rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR
AFTER_E4_E5=rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR
{
  record $START w e2e4 100
  record $START w a2a3 0
  record $AFTER_E4 b c7c5 40
  record $AFTER_E4 b h7h6 1          # thinned away at selectivity 5
  record $AFTER_E4_E5 w g1f3 0       # weights total 0: no book move
} | writeBook "$work/book.bin"
check "book file is whole records" test $(( $(stat -c %s "$work/book.bin") % 12 )) -eq 0

# session OUTFILE < commands: each line goes to the program; "@bestmove" waits
# for the program's next bestmove line, "@sleep N" pauses. All output lands in
# OUTFILE.
session() {
  local out=$1 line reply
  : > "$out"
  coproc ENGINE { exec timeout 120 "$uci" 2>&1; }
  local to=${ENGINE[1]} from=${ENGINE[0]} pid=$ENGINE_PID
  while IFS= read -r line; do
    case $line in
      @bestmove)
        while IFS= read -r -t 60 reply <&"$from"; do
          echo "$reply" >> "$out"
          [[ $reply == bestmove* ]] && break
        done ;;
      @sleep\ *) sleep "${line#@sleep }" ;;
      *) echo "$line" >&"$to" ;;
    esac
  done
  echo quit >&"$to"
  while IFS= read -r -t 60 reply <&"$from"; do echo "$reply" >> "$out"; done
  wait "$pid" 2>/dev/null
}
section() {  # section N FILE: the output up to and including the N-th bestmove line
  awk -v n="$1" 'BEGIN { c = 1 } c == n { print } /^bestmove/ { c++ }' "$2"
}
has() { grep -Eq "$1" <<<"$2"; }
lacks() { ! grep -Eq "$1" <<<"$2"; }
count() { grep -Ec "$1" <<<"$2"; }

# ---- book moves and searches ----
session "$work/s1.txt" <<EOF
uci
setoption name Book_file value $work/book.bin
isready
position startpos
go wtime 30000 btime 30000
@bestmove
position startpos moves e2e4
go wtime 30000 btime 30000
@bestmove
position startpos moves e2e4 e7e5
go depth 3
@bestmove
position startpos moves d2d4
go depth 3
@bestmove
EOF
all=$(cat "$work/s1.txt")
s1=$(section 1 "$work/s1.txt"); s2=$(section 2 "$work/s1.txt")
s3=$(section 3 "$work/s1.txt"); s4=$(section 4 "$work/s1.txt")
check "four bestmove lines" test "$(count '^bestmove' "$all")" -eq 4
check "book move from the start position" has '^bestmove e2e4$' "$s1"
check "book move for Black after e2e4, the light one thinned" has '^bestmove c7c5$' "$s2"
check "book hit: one info line of depth 0, nodes 0, the book move as variation" \
  test "$(count '^info score cp 0 depth 0 nodes 0 nps 0 tbhits 0 time 0 hashfull 0 pv  e2e4$' "$s1")" -eq 1
check "book hits are not searched" lacks '(depth [1-9]|currmove)' "$s1"$'\n'"$s2"
check "book moves carry no ponder move" lacks 'ponder' "$s1"$'\n'"$s2"
check "a position whose weights total 0 is searched" has '^info .*depth 3 nodes [1-9]' "$s3"
check "a position outside the book is searched" has '^info .*depth 3 nodes [1-9]' "$s4"
check "the searched position answers a move" has '^bestmove [a-h][1-8][a-h][1-8]' "$s4"
check "no error lines with a good book" lacks 'Error' "$all"

# ---- OwnBook off, and an infinite search, skip the book ----
session "$work/s2.txt" <<EOF
uci
setoption name OwnBook value false
setoption name Book_file value $work/book.bin
isready
position startpos
go depth 2
@bestmove
EOF
check "OwnBook false: the start position is searched" has '^info .*depth 2 nodes [1-9]' "$(section 1 "$work/s2.txt")"

session "$work/s3.txt" <<EOF
uci
setoption name Book_file value $work/book.bin
isready
position startpos
go infinite
@sleep 1
stop
@bestmove
EOF
inf=$(section 1 "$work/s3.txt")
check "an infinite search skips the book" has '^info .*depth [1-9] nodes [1-9]' "$inf"
check "no book info line in an infinite search" lacks 'depth 0 nodes 0' "$inf"
check "the infinite search ends with a bestmove on stop" has '^bestmove' "$inf"

# ---- broken and missing books ----
cp "$work/book.bin" "$work/partial.bin"
printf 'abcde' >> "$work/partial.bin"
: > "$work/empty.bin"
session "$work/s4.txt" <<EOF
uci
setoption name Book_file value $work/partial.bin
isready
position startpos
go wtime 30000 btime 30000
@bestmove
setoption name Book_file value $work/empty.bin
position startpos
go depth 2
@bestmove
position startpos
go depth 2
@bestmove
setoption name Book_file value $work/missing.bin
position startpos
go depth 2
@bestmove
EOF
all=$(cat "$work/s4.txt")
check "a partial last record is reported once" \
  test "$(grep -Fxc "info string Error (Book file ends in a partial record): $work/partial.bin" <<<"$all")" -eq 1
check "the whole records of a partial file still play" has '^bestmove e2e4$' "$(section 1 "$work/s4.txt")"
check "an empty book is reported once" \
  test "$(grep -Fxc "info string Error (Book file is empty): $work/empty.bin" <<<"$all")" -eq 1
check "with an empty book the start position is searched, twice" \
  test "$(count '^info .*depth 2 nodes [1-9]' "$(section 2 "$work/s4.txt"; section 3 "$work/s4.txt")")" -ge 2
check "a missing book prints the system error text" has '^No such file or directory$' "$all"
check "with a missing book the start position is searched" has '^info .*depth 2 nodes [1-9]' "$(section 4 "$work/s4.txt")"
check "four bestmove lines with broken books" test "$(count '^bestmove' "$all")" -eq 4
check "no sanitizer reports" lacks '(Sanitizer|runtime error)' "$(cat "$work"/s*.txt)"

exit $fail
