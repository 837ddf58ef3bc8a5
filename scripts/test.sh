#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UBSan, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON -DQUILLMARK_WERROR=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
cmake --build build-test -j2
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
