#!/usr/bin/env bash
# Loads IIS logs through `quillmarkbox-cli load --jsonl` into a ClickHouse server of its own
# (loopback, a temporary folder, stopped at the end), checks the counts per status and per
# crawler against the command line's own, and reports rows per second.
#   scripts/clickhouse-check.sh                 the benchmark log (bench/data/iis7_<SIZE>.log, made if missing)
#   scripts/clickhouse-check.sh --size BYTES    a benchmark log of that size (default 1073741824)
#   scripts/clickhouse-check.sh --samples       the bundled samples/logs
#   scripts/clickhouse-check.sh LOG...          the given logs
# Needs `scripts/setup.sh --scale` (Debian's clickhouse-server and clickhouse-client).
set -euo pipefail
cd "$(dirname "$0")/.."

size=1073741824
logs=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --samples) logs+=(samples/logs/*.log); shift ;;
    --size) size=$2; shift 2 ;;
    -*) echo "usage: scripts/clickhouse-check.sh [--samples | --size BYTES | LOG...]" >&2; exit 2 ;;
    *) logs+=("$1"); shift ;;
  esac
done

scripts/setup.sh --scale || echo "clickhouse-check: scripts/setup.sh --scale failed" >&2
server=$(command -v clickhouse-server || true)
[[ -z $server && -x /usr/sbin/clickhouse-server ]] && server=/usr/sbin/clickhouse-server
client=$(command -v clickhouse-client || true)
if [[ -z $server || -z $client ]]; then
  echo "clickhouse-check: clickhouse-server and clickhouse-client are not installed" \
       "(scripts/setup.sh --scale installs Debian's packages)" >&2
  exit 1
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target quillmarkbox-cli quillmark-loggen >/dev/null
cli=build/quillmarkbox-cli
if [[ ${#logs[@]} -eq 0 ]]; then
  mkdir -p bench/data
  logs=(bench/data/iis7_$size.log)
  [[ -f ${logs[0]} ]] || build/quillmark-loggen iis7 "${logs[0]}" "$size"
fi

work=$(mktemp -d)
server_pid=""
stop() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/config.xml" <<XML
<?xml version="1.0"?>
<yandex>
    <logger><level>warning</level><log>$work/server.log</log><errorlog>$work/server.err.log</errorlog></logger>
    <listen_host>127.0.0.1</listen_host>
    <tcp_port>$port</tcp_port>
    <path>$work/data/</path>
    <tmp_path>$work/tmp/</tmp_path>
    <user_files_path>$work/user_files/</user_files_path>
    <format_schema_path>$work/format_schemas/</format_schema_path>
    <mark_cache_size>268435456</mark_cache_size>
    <users_config>users.xml</users_config>
    <default_profile>default</default_profile>
    <default_database>default</default_database>
</yandex>
XML
cat >"$work/users.xml" <<XML
<?xml version="1.0"?>
<yandex>
    <profiles><default></default></profiles>
    <users><default><password></password><networks><ip>127.0.0.1</ip></networks><profile>default</profile><quota>default</quota></default></users>
    <quotas><default></default></quotas>
</yandex>
XML
"$server" --config-file="$work/config.xml" >"$work/server.out" 2>&1 &
server_pid=$!
ch() { "$client" --host 127.0.0.1 --port "$port" "$@"; }
for _ in $(seq 60); do
  ch --query "SELECT 1" >/dev/null 2>&1 && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.out" "$work/server.err.log" >&2 2>/dev/null; exit 1; }
  sleep 0.5
done
ch --query "SELECT 1" >/dev/null
ch --multiquery <scripts/clickhouse/access-table.sql
echo "ClickHouse $(ch --query 'SELECT version()') on 127.0.0.1:$port"

ns() { date +%s%N; }
rows=0 ingest_ns=0 cli_ns=0
for log in "${logs[@]}"; do
  start=$(ns)
  "$cli" load --off images --jsonl "$log" 2>/dev/null |
    ch --date_time_input_format=best_effort --query "INSERT INTO access FORMAT JSONEachRow"
  ingest_ns=$(( ingest_ns + $(ns) - start ))
  start=$(ns)
  "$cli" load --off images --jsonl "$log" >/dev/null 2>&1
  cli_ns=$(( cli_ns + $(ns) - start ))
  rows=$(( rows + $("$cli" load --off images --count "$log" | sed 's/.*共有 \([0-9]*\).*/\1/') ))
done

failed=0
compare() { # what, ours, ClickHouse's
  if [[ $2 == "$3" ]]; then
    echo "$1: the same"
  else
    echo "$1: DIFFERENT"; diff <(echo "$2") <(echo "$3") | head -20; failed=1
  fi
}
compare "rows (load --count)" "$rows" "$(ch --query 'SELECT count() FROM access')"

# Per status: the status column of the rows load prints.
ours=$(for log in "${logs[@]}"; do "$cli" load --off images "$log" 2>/dev/null | cut -f5; done |
       sort | uniq -c | awk '{ print $2 "\t" $1 }' | sort)
theirs=$(ch --query "SELECT \`http.response.status_code\` AS status, count() FROM access GROUP BY status FORMAT TSV" |
         sort)
compare "rows per status" "$ours" "$theirs"

# Per crawler: load --crawler KEY --count for every crawler the table holds.
theirs=$(ch --query "SELECT \`quillmarkbox.crawler.key\` AS crawler, count() FROM access
                     WHERE crawler != '' GROUP BY crawler FORMAT TSV" | sort)
ours=$(while IFS=$'\t' read -r key _; do
         n=0
         for log in "${logs[@]}"; do
           n=$(( n + $("$cli" load --off images --crawler "$key" --count "$log" | sed 's/.*共有 \([0-9]*\).*/\1/') ))
         done
         printf '%s\t%s\n' "$key" "$n"
       done <<<"$theirs" | sort)
compare "rows per crawler (load --crawler KEY --count)" "$ours" "$theirs"

# Per engine: the seven columns of stats, summed over the files.
engines=(百度 Google soso 有道 雅虎 SogouBot MSN)
ours=$(for log in "${logs[@]}"; do
         dir=$(mktemp -d -p "$work"); ln -s "$(realpath "$log")" "$dir/$(basename "$log")"
         "$cli" stats "$dir" | cut -f3-9
       done | awk -F'\t' '{ for (i = 1; i <= 7; ++i) s[i] += $i } END { for (i = 1; i <= 7; ++i) print s[i] }')
theirs=$(for engine in "${engines[@]}"; do
           ch --query "SELECT count() FROM access WHERE \`quillmarkbox.crawler.name\` = '$engine'"
         done)
compare "rows per engine (stats)" "$ours" "$theirs"

rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.0f", n / (t / 1e9) }'; }
bytes=$(cat "${logs[@]}" | wc -c)
echo "${#logs[@]} log(s), $bytes bytes, $rows rows"
echo "load --jsonl into ClickHouse: $(awk -v t="$ingest_ns" 'BEGIN { printf "%.2f", t / 1e9 }') s, $(rate "$rows" "$ingest_ns") rows/s"
echo "load --jsonl alone to /dev/null: $(awk -v t="$cli_ns" 'BEGIN { printf "%.2f", t / 1e9 }') s, $(rate "$rows" "$cli_ns") rows/s"
exit $failed
