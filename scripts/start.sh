#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its window on the bundled sample logs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2
exec build/quillmarkbox --log-dir samples/logs
