#!/usr/bin/env bash
# Installs what is missing, builds the program and shows the bundled sample log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2
build/quillmarkbox-cli load samples/logs/ex261201.log
