#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and (with --bench) the benchmarks need;
# --fuzz adds clang and its libFuzzer runtime for the fuzz targets; --package what `cpack -G DEB`
# needs to read the package's dependencies off the programs; --scale the ClickHouse server and
# client that scripts/clickhouse-check.sh loads logs into.
# Idempotent: packages already present are skipped. Runs as root, or through sudo otherwise.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n
  libcurl4-openssl-dev libpugixml-dev libzip-dev zlib1g-dev libhyperscan-dev libc-ares-dev libsodium-dev
  nlohmann-json3-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libxml2-dev libxml2-utils
  fonts-wqy-zenhei python3 openssl ca-certificates
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(goaccess time unzip)
fi
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [[ "${1:-}" == "--package" ]]; then
  packages+=(dpkg-dev file)
fi
if [[ "${1:-}" == "--scale" ]]; then
  packages+=(clickhouse-server clickhouse-client)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
[[ $(id -u) -ne 0 ]] && as_root=(sudo)
echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
