#!/usr/bin/env bash
# Whole-process figures of `load --jsonl` against `load` printing the same rows as TAB-separated
# lines, in this run, runs of the two taking turns (best of 5, page cache warm). Called by
# bench/run.sh; also runs alone:
#   bench/jsonl_output.sh LOG      (build/quillmarkbox-cli must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
log=$1
cli=build/quillmarkbox-cli
cat "$log" >/dev/null

declare -A best
# one wall-clock run of a shell command line, kept when it is the fastest of its name
run() {
  local start end
  start=$(date +%s%N)
  bash -c "$2" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  local t=$(( end - start ))
  [[ -z ${best[$1]:-} || $t -lt ${best[$1]} ]] && best[$1]=$t
  return 0
}
for _ in 1 2 3 4 5; do
  run rows_null "$cli load '$log' >/dev/null"
  run json_null "$cli load --jsonl '$log' >/dev/null"
  run rows_pipe "$cli load '$log' | wc -c"
  run json_pipe "$cli load --jsonl '$log' | wc -c"
done
seconds() { awk -v ns="${best[$1]}" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
ratio() { awk -v a="${best[$1]}" -v b="${best[$2]}" 'BEGIN { printf "%.2f", a / b }'; }

rows=$($cli load "$log" 2>/dev/null | wc -l)
json_rows=$($cli load --jsonl "$log" 2>/dev/null | wc -l)
row_bytes=$($cli load "$log" 2>/dev/null | wc -c)
json_bytes=$($cli load --jsonl "$log" 2>/dev/null | wc -c)

cat <<TABLE
JSON lines, $(date -u +%Y-%m-%d), $(nproc) cores: $log ($rows rows printed, $row_bytes bytes; $json_rows JSON
lines, $json_bytes bytes).

| measure | \`load --jsonl\` (s) | \`load\` printing rows (s) | ratio | target |
|---|---|---|---|---|
| every row to /dev/null | $(seconds json_null) | $(seconds rows_null) | $(ratio json_null rows_null) | <= 1.2 |
| every row through a pipe to wc -c | $(seconds json_pipe) | $(seconds rows_pipe) | $(ratio json_pipe rows_pipe) | <= 1.2 |
| rows per second through the pipe | $(awk -v n="$json_rows" -v ns="${best[json_pipe]}" 'BEGIN { printf "%.0f", n / (ns / 1e9) }') | $(awk -v n="$rows" -v ns="${best[rows_pipe]}" 'BEGIN { printf "%.0f", n / (ns / 1e9) }') | | |
TABLE
