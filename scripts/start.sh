#!/usr/bin/env bash
# Installs what is missing, builds the desktop program alone and opens its window on the bundled
# sample logs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2 --target quillmarkbox
exec build/quillmarkbox --log-dir samples/logs
