#!/usr/bin/env bash
# Opens a crawl report as its readers would: fills a ledger from the sample logs, writes the report
# as HTML and as JSON, checks that the HTML is well-formed (xmllint) and names no address to fetch,
# checks its key figures against the ledger's own tables, and takes headless Chromium screenshots
# 1280 and 390 pixels wide for a person to look at. Not part of the README's test command (Chromium is large).
#   scripts/report-check.sh [OUT_DIR]     (default: build/report-check)
set -euo pipefail
cd "$(dirname "$0")/.."
as_root=()
[[ $(id -u) -ne 0 ]] && as_root=(sudo)
scripts/setup.sh
for tool in chromium:chromium xmllint:libxml2-utils; do
  command -v "${tool%%:*}" >/dev/null ||
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${tool##*:}"
done
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target quillmarkbox-cli >/dev/null
cli=build/quillmarkbox-cli

out=$(realpath -m "${1:-build/report-check}")
rm -rf "$out"
mkdir -p "$out"
ledger=$out/ledger.db
"$cli" ledger --ledger "$ledger" add samples/logs >/dev/null
"$cli" report --ledger "$ledger" -o "$out/report.html"
"$cli" report --ledger "$ledger" --json -o "$out/report.json"

xmllint --noout "$out/report.html" # well-formed markup, inline SVG included
if grep -q 'http' "$out/report.html"; then
  echo "report-check: the report names an address to fetch" >&2
  exit 1
fi
read -r requests crawler_requests fake_requests < <("$cli" ledger --ledger "$ledger" sql \
  "SELECT sum(requests), sum(crawler_requests), sum(fake_requests) FROM day_total" | tail -n 1)
read -r urls hits < <("$cli" ledger --ledger "$ledger" sql \
  "SELECT count(DISTINCT path_id), sum(hits) FROM crawl WHERE verdict != 2" | tail -n 1)
python3 - "$out/report.json" "$requests" "$hits" "$fake_requests" "$urls" <<'PY'
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
expected = dict(zip(["requests", "crawler_hits", "fake_hits", "urls_crawled"], map(int, sys.argv[2:])))
found = {key: report[key] for key in expected}
if found != expected:
    sys.exit(f"report-check: the report says {found}, the ledger {expected}")
PY

for width in 1280 390; do
  chromium --headless=new --no-sandbox --disable-gpu --hide-scrollbars --window-size="$width,2400" \
    --screenshot="$out/report-$width.png" "file://$out/report.html" >/dev/null 2>&1
done
echo "report-check: $out/report.html reads as HTML, fetches nothing and agrees with the ledger" \
     "($requests requests, $hits crawler hits, $urls URLs); look at $out/report-1280.png and $out/report-390.png"
