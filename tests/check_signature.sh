#!/usr/bin/env bash
# The search signature: bench/search's total node count at the committed depth
# must equal the committed count (bench/signature.txt).
set -euo pipefail
bin="$1"
file="$(dirname "$0")/../bench/signature.txt"
depth=$(awk '$1 == "depth" {print $2}' "$file")
expected=$(awk '$1 == "nodes" {print $2}' "$file")
[[ -n "$depth" && -n "$expected" ]] || { echo "no depth/nodes in $file"; exit 1; }
got=$("$bin/search" "$depth" | awk '$1 == "depth" {print $4}')
echo "search $depth: $got nodes (signature $expected)"
[[ "$got" == "$expected" ]]
