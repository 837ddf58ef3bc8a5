#!/usr/bin/env bash
# Benchmarks of the log view's engine against byte-scanning and log-analysing baselines, each
# timed in this run on the same file with the page cache warm. Prints a Markdown table of ratios.
#   bench/run.sh [SIZE_BYTES]     (default 1 GiB; the GoAccess comparison uses a 100 MiB file)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_BENCH=ON >/dev/null
cmake --build build -j2 >/dev/null

# Where the figures are measured: the processor, its vector extensions and how busy the machine is.
# A ratio taken with other work running says little, so such a run says so.
load_average() { cut -d ' ' -f 1 /proc/loadavg; }
busy() { awk -v l="$1" 'BEGIN { exit !(l > 0.5) }'; }
cpu_model=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
cpu_vectors=$(grep -m1 -o -w -E 'sse4_2|avx|avx2|bmi2|avx512f|avx512bw|avx512vl|avx512vbmi' /proc/cpuinfo | sort -u | tr '\n' ' ')
# The build above raises the average for a while: wait up to five minutes for it to settle.
for _ in $(seq 60); do
  busy "$(load_average)" || break
  sleep 5
done
load_before=$(load_average)

size=${1:-1073741824}
mkdir -p bench/data
log=bench/data/iis7_$size.log
small=bench/data/iis7_104857600.log
[[ -f $log ]] || build/quillmark-loggen iis7 "$log" "$size"
[[ -f $small ]] || build/quillmark-loggen iis7 "$small" 104857600
cat "$log" "$small" >/dev/null

# best of 3 wall-clock seconds of a command; stdout goes to $out (GNU grep stops at the first
# match when it writes to /dev/null, so its output goes to a real file)
out=/dev/null
best3() {
  local best=""
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    "$@" >"$out" 2>/dev/null || true
    end=$(date +%s%N)
    local t=$(( end - start ))
    [[ -z $best || $t -lt $best ]] && best=$t
  done
  awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

tokens=(-e Googlebot -e Baiduspider -e Yahoo -e Sogou -e Sosospider+ -e YoudaoBot -e YodaoBot-Image
        -e qihoobot -e Twiceler -e msnbot -e AppEngine-Google -e SurveyBot -e Gigabot/)
wc_s=$(best3 wc -l "$log")
out=$(mktemp)
grep_s=$(LC_ALL=C best3 grep -c -i -F "${tokens[@]}" "$log")
rm -f "$out"
out=/dev/null
sort_date_s=$(LC_ALL=C best3 sort -s -t ' ' -k 1,1 "$log")
sort_taken_s=$(LC_ALL=C best3 sort -s -t ' ' -k 17,17n "$log")

# In-process: the process's very first load, loads into a fresh window state (mean of 3), a reload,
# and header clicks on the loaded store.
bench_out=$(QUILLMARK_BENCH_LOG="$log" build/load_bench 2>/dev/null)
ms() { awk -v name="$1" '$1 ~ name { print $2 / 1000; exit }' <<<"$bench_out"; }
process_first_s=$(ms '^BM_FirstLoadOfTheProcess')
load_s=$(ms '^BM_LoadDefaultFilters')
reload_s=$(ms '^BM_ReloadDefaultFilters')
click_date_s=$(ms '^BM_Click/8/')
click_taken_s=$(ms '^BM_Click/15/')
one_core_s=$(QUILLMARK_BENCH_LOG="$log" taskset -c 0 build/load_bench --benchmark_filter=BM_LoadDefaultFilters 2>/dev/null |
             awk '$1 ~ /^BM_LoadDefaultFilters/ { print $2 / 1000; exit }')
records=$(awk '/^BM_LoadDefaultFilters/ { for (i = 1; i <= NF; ++i) if ($i ~ /^records=/) print substr($i, 9) }' <<<"$bench_out")

# Whole process: the command line's load with every row printed to /dev/null, and its peak memory.
cli_s=$(best3 build/quillmarkbox-cli load "$log")
peak_file=$(mktemp)
/usr/bin/time -o "$peak_file" -f %M build/quillmarkbox-cli load "$log" >/dev/null 2>&1
peak_kb=$(tail -1 "$peak_file")
rm -f "$peak_file"
file_bytes=$(stat -c %s "$log")

# GoAccess on the 100 MiB file, one run (it takes tens of seconds).
ga_dir=$(mktemp -d)
ga_start=$(date +%s%N)
goaccess "$small" --log-format='%d %t %^ %m %U %q %^ %^ %h %u %R %s %^ %^ %b %^ %L' \
  --date-format=%Y-%m-%d --time-format=%H:%M:%S --no-progress -o "$ga_dir/report.json" >/dev/null 2>&1
ga_s=$(awk -v ns=$(( $(date +%s%N) - ga_start )) 'BEGIN { printf "%.3f", ns / 1e9 }')
ga_valid=$(grep -o '"valid_requests": [0-9]*' "$ga_dir/report.json" | head -1 | grep -o '[0-9]*$')
ga_failed=$(grep -o '"failed_requests": [0-9]*' "$ga_dir/report.json" | head -1 | grep -o '[0-9]*$')
rm -rf "$ga_dir"
small_lines=$(grep -vc '^#' "$small")
small_s=$(QUILLMARK_BENCH_LOG="$small" build/load_bench --benchmark_filter=BM_LoadDefaultFilters 2>/dev/null |
          awk '$1 ~ /^BM_LoadDefaultFilters/ { print $2 / 1000; exit }')

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
cat <<TABLE
Run of $(date -u +%Y-%m-%d) on $(nproc) cores of $cpu_model ($cpu_vectors); load average $load_before at the start.
$log: $file_bytes bytes, $(wc -l <"$log") lines, $records records kept.

| measure | ours (s) | baseline (s) | ratio | target |
|---|---|---|---|---|
| first load, default filters (in-process, mean of 3) | $load_s | grep -c -i -F, 13 tokens: $grep_s | $(ratio "$load_s" "$grep_s") | <= 0.3 |
| first load, default filters (in-process, mean of 3) | $load_s | wc -l: $wc_s | $(ratio "$load_s" "$wc_s") | <= 2 |
| first load on one core (taskset -c 0, in-process) | $one_core_s | grep: $grep_s | $(ratio "$one_core_s" "$grep_s") | <= 0.6 |
| the process's very first load | $process_first_s | grep: $grep_s | $(ratio "$process_first_s" "$grep_s") | <= 0.35 |
| reload in the same window (in-process) | $reload_s | grep: $grep_s | $(ratio "$reload_s" "$grep_s") | |
| command line load, all rows printed to /dev/null | $cli_s | grep: $grep_s | $(ratio "$cli_s" "$grep_s") | |
| click "日期" on the loaded store | $click_date_s | sort -s -k 1,1: $sort_date_s | $(ratio "$click_date_s" "$sort_date_s") | <= 0.33 |
| click "用时" on the loaded store | $click_taken_s | sort -s -k 17,17n: $sort_taken_s | $(ratio "$click_taken_s" "$sort_taken_s") | <= 0.33 |
| load of 100 MiB (in-process) | $small_s | GoAccess, $ga_valid valid / $ga_failed failed of $small_lines lines: $ga_s | $(ratio "$ga_s" "$small_s")x faster | >= 100x |
| peak resident memory of the load (MB) | $(( peak_kb / 1024 )) | file size: $(( file_bytes / 1048576 )) | $(ratio "$(( peak_kb * 1024 ))" "$file_bytes") | <= 1.1 |
TABLE

echo
bench/cli_output.sh "$log"

echo
bench/jsonl_output.sh "$log"

echo
bench/search_encoded.sh "$log"

echo
echo "Published address lists (build/lists_bench):"
build/lists_bench "$log"

echo
bench/ledger.sh "$log"
echo
echo "Following a growing log (build/follow_bench, offscreen):"
build/follow_bench 5 60 2>/dev/null

load_after=$(load_average)
echo
# The run's own work raises the average at the end, so only the start tells whether other work ran.
echo "Load average $load_before at the start, $load_after at the end (the end includes this run's own work)."
if busy "$load_before"; then
  echo "The machine was busy (load average above 0.5): these figures are not comparable with a quiet run's."
fi
