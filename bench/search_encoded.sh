#!/usr/bin/env bash
# Whole-process figures of `load --search-encoded TEXT --count` against `load --search TEXT
# --count` on the same log in this run (runs of the two taking turns, best of 5, page cache warm),
# and both counts checked against an independent count in Python. Called by bench/run.sh; also
# runs alone:
#   bench/search_encoded.sh LOG [TEXT]      (build/quillmarkbox-cli must be built; TEXT: 日志分析)
set -euo pipefail
cd "$(dirname "$0")/.."
log=$1
text=${2:-日志分析}
cli=build/quillmarkbox-cli
cat "$log" >/dev/null

declare -A best
# one wall-clock run of a command, kept when it is the fastest of its name
run() {
  local name=$1 start end
  shift
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  local t=$(( end - start ))
  [[ -z ${best[$name]:-} || $t -lt ${best[$name]} ]] && best[$name]=$t
  return 0
}
for _ in 1 2 3 4 5; do
  run plain $cli load --search "$text" --count "$log"
  run encoded $cli load --search-encoded "$text" --count "$log"
done
seconds() { awk -v ns="${best[$1]}" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
ratio() { awk -v a="${best[$1]}" -v b="${best[$2]}" 'BEGIN { printf "%.2f", a / b }'; }
count() { $cli load "$@" --count "$log" | sed 's/.*共有 \([0-9]*\).*/\1/'; }
plain_rows=$(count --search "$text")
encoded_rows=$(count --search-encoded "$text")

# The same counts by Python's own percent-encoder, with the keep test's default image filter;
# the search ignores ASCII case and looks at the line with the list's "- " prefix.
read -r py_plain py_encoded < <(python3 - "$log" "$text" <<'PY'
import sys, urllib.parse
path, text = sys.argv[1], sys.argv[2]
plain = [text.encode('gbk').upper()]
encoded = plain + [urllib.parse.quote(text, safe='', encoding=c).encode().upper() for c in ('gbk', 'utf-8')]
encoded += [urllib.parse.quote_plus(text, safe='', encoding=c).encode().upper() for c in ('gbk', 'utf-8')]
images = (b'.GIF ', b'.JPG ', b'.CSS ')
counts = [0, 0]
with open(path, 'rb') as log:
    for line in log:
        line = line.rstrip(b'\r\n')
        if not line or line.startswith(b'#'):
            continue
        hay = (b'- ' + line).upper()
        if any(i in hay for i in images):
            continue
        counts[0] += any(f in hay for f in plain)
        counts[1] += any(f in hay for f in encoded)
print(*counts)
PY
)
agree=no
[[ $plain_rows == "$py_plain" && $encoded_rows == "$py_encoded" ]] && agree=yes

cat <<TABLE
Encoded search, $(date -u +%Y-%m-%d), $(nproc) cores: $log, text "$text": $plain_rows rows found
plain, $encoded_rows with the encoded forms (Python's independent count: $py_plain and $py_encoded;
agree: $agree).

| measure | \`--search-encoded\` (s) | \`--search\` (s) | ratio | target |
|---|---|---|---|---|
| \`load ... --count\` | $(seconds encoded) | $(seconds plain) | $(ratio encoded plain) | <= 1.1 |
TABLE
[[ $agree == yes ]]
