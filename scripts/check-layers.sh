#!/usr/bin/env bash
# Fails when a file under src/ includes a folder that scripts/layers.txt does not allow it, when a
# file outside gui/ and app/ includes a Qt header, or when the table itself has a cycle.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed
while read -r node deps; do
  allowed[${node%:}]=" $deps "
done < <(grep -vE '^\s*(#|$)' scripts/layers.txt)

if ! printf '%s\n' "${!allowed[@]}" | while read -r n; do for d in ${allowed[$n]}; do echo "$d $n"; done; done \
    | tsort > /dev/null 2>&1; then
  echo "check-layers: scripts/layers.txt has a cycle" >&2
  exit 1
fi

failures=0
while read -r file; do
  rest=${file#src/}
  from=${rest%%/*}
  if [[ -z ${allowed[$from]+set} ]]; then
    echo "$file: folder '$from' is missing from scripts/layers.txt" >&2
    failures=$((failures + 1))
    continue
  fi
  if [[ $from != gui && $from != app ]] && grep -qE '^#include <Q' "$file"; then
    echo "$file: includes a Qt header outside gui/ and app/" >&2
    failures=$((failures + 1))
  fi
  while IFS=: read -r line to; do
    [[ $to == "$from" ]] && continue
    if [[ ${allowed[$from]} != *" $to "* ]]; then
      echo "$file:$line: includes $to/ ($from may not use $to)" >&2
      failures=$((failures + 1))
    fi
  done < <(grep -noE '^#include "[a-z]+/' "$file" | sed -E 's/^([0-9]+):#include "([a-z]+)\//\1:\2/')
done < <(git ls-files 'src/*.h' 'src/*.cpp')

if ((failures)); then
  echo "check-layers: $failures include(s) against scripts/layers.txt" >&2
  exit 1
fi
echo "check-layers: every include follows scripts/layers.txt"
