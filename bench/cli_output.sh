#!/usr/bin/env bash
# Whole-process figures of the command line: printing every kept row, the CSV export, and the
# load and statistics of the log compressed with gzip -6, each against grep over the same bytes
# in this run (best of 3, page cache warm). Called by bench/run.sh; also runs alone:
#   bench/cli_output.sh LOG      (build/quillmarkbox-cli must be built)
set -euo pipefail
cd "$(dirname "$0")/.."
log=$1
cli=build/quillmarkbox-cli
gz_dir=bench/data/archive
gz=$gz_dir/$(basename "$log").gz
mkdir -p "$gz_dir"
[[ -f $gz ]] || { gzip -6 -c "$log" >"$gz.tmp" && mv "$gz.tmp" "$gz"; }
csv=bench/data/export.csv
cat "$log" "$gz" >/dev/null

seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
# best of 3 wall-clock seconds of a shell command line
best3() {
  local best=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    local t=$(( end - start ))
    [[ -z $best || $t -lt $best ]] && best=$t
  done
  seconds "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

tokens="-e Googlebot -e Baiduspider -e Yahoo -e Sogou -e Sosospider+ -e YoudaoBot -e YodaoBot-Image -e qihoobot"
tokens="$tokens -e Twiceler -e msnbot -e AppEngine-Google -e SurveyBot -e Gigabot/"
tmp=$(mktemp)
grep_s=$(best3 "LC_ALL=C grep -c -i -F $tokens '$log' >'$tmp'")
zgrep_s=$(best3 "zcat '$gz' | LC_ALL=C grep -c -i -F $tokens >'$tmp'")
rm -f "$tmp"

null_s=$(best3 "$cli load '$log' >/dev/null")
pipe_s=$(best3 "$cli load '$log' | wc -c")
raw_s=$(best3 "$cli load --raw '$log' | wc -c")
count_s=$(best3 "$cli load --count '$log'")
csv_s=$(best3 "$cli load --csv '$log' >'$csv'")
gz_load_s=$(best3 "$cli load --count '$gz'")
gz_stats_s=$(best3 "$cli stats '$gz_dir'")

# The printed bytes are the same whichever way they leave the process.
same=no
[[ $($cli load "$log" 2>/dev/null | md5sum) == $($cli load "$log" 2>/dev/null | cat | md5sum) ]] && same=yes
out_bytes=$($cli load "$log" 2>/dev/null | wc -c)
csv_bytes=$(stat -c %s "$csv")
rm -f "$csv"
rows=$($cli load --count "$log" | sed 's/.*共有 \([0-9]*\).*/\1/')

cat <<TABLE
Command line, $(date -u +%Y-%m-%d), $(nproc) cores: $log ($rows rows kept, $out_bytes bytes printed,
CSV $csv_bytes bytes; pipe and /dev/null output identical: $same), and $gz ($(stat -c %s "$gz") bytes, gzip -6).

| measure | ours (s) | baseline (s) | ratio | target |
|---|---|---|---|---|
| \`load\`, every row to /dev/null | $null_s | grep -c -i -F, 13 tokens: $grep_s | $(ratio "$null_s" "$grep_s") | <= 0.8 |
| \`load\`, every row through a pipe to wc -c | $pipe_s | grep: $grep_s | $(ratio "$pipe_s" "$grep_s") | <= 0.9 |
| \`load --raw\`, every row through a pipe to wc -c | $raw_s | grep: $grep_s | $(ratio "$raw_s" "$grep_s") | |
| \`load --count\` | $count_s | grep: $grep_s | $(ratio "$count_s" "$grep_s") | <= 0.3 |
| \`load --csv\` into a file (load and export) | $csv_s | grep: $grep_s | $(ratio "$csv_s" "$grep_s") | <= 1.5 |
| \`load --count\` of the .gz | $gz_load_s | zcat \| grep -c -i -F, 13 tokens: $zgrep_s | $(ratio "$gz_load_s" "$zgrep_s") | <= 1.0 |
| \`stats\` of a folder holding the .gz | $gz_stats_s | zcat \| grep: $zgrep_s | $(ratio "$gz_stats_s" "$zgrep_s") | <= 1.0 |
TABLE
