#!/usr/bin/env bash
# The length generator re-derives every stored length of the tablebase
# descriptor table: its output must equal the compiled-in table, which
# tbindex --lengths prints. The tablebase index bench must also run.
set -euo pipefail
bin="$1"
generated=$("$bin/gen_tb_lengths")
committed=$("$bin/tbindex" --lengths | awk '{print $1, $2, $4, $5}')
if [ "$generated" != "$committed" ]; then
  diff <(echo "$generated") <(echo "$committed") | head -20
  echo "generated lengths differ from the descriptor table"
  exit 1
fi
[ "$(wc -l <<<"$generated")" -eq 440 ] || { echo "expected 440 tables"; exit 1; }
"$bin/gen_tb_lengths" 5 5 | grep -qx "5 kqk 25629 28644" || { echo "single table run"; exit 1; }
if "$bin/gen_tb_lengths" 0 >/dev/null 2>&1; then echo "bad id accepted"; exit 1; fi
"$bin/tb_index" 1 | grep -q '^mixed: ' || { echo "bench output"; exit 1; }
echo "tablebase length checks passed"
