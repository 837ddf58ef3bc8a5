#!/usr/bin/env bash
# Fails when a file under src/ includes a folder that scripts/layers.txt does not allow it, or when
# the table itself has a cycle.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed
while read -r node deps; do
  allowed[${node%:}]=" $deps "
done < <(grep -vE '^\s*(#|$)' scripts/layers.txt)

# A Qt file: it, or its header or source twin, includes a Qt header.
is_qt() {
  local stem=${1%.*}
  grep -qsE '^#include <Q' "$stem.h" "$stem.cpp"
}
node_of() { # path under src/
  local folder=${1#src/}; folder=${folder%%/*}
  if [[ $folder != qt && $folder != app && $folder != cli ]] && is_qt "$1"; then
    echo "$folder:ui"
  else
    echo "$folder"
  fi
}

if ! printf '%s\n' "${!allowed[@]}" | while read -r n; do for d in ${allowed[$n]}; do echo "$d $n"; done; done \
    | tsort > /dev/null 2>&1; then
  echo "check-layers: scripts/layers.txt has a cycle" >&2
  exit 1
fi

failures=0
while read -r file; do
  from=$(node_of "$file")
  if [[ -z ${allowed[$from]+set} ]]; then
    echo "$file: folder '$from' is missing from scripts/layers.txt" >&2
    failures=$((failures + 1))
    continue
  fi
  while IFS=: read -r line target; do
    to=$(node_of "src/$target")
    [[ $to == "$from" || ${from%:ui} == "$to" ]] && continue
    if [[ ${allowed[$from]} != *" $to "* ]]; then
      echo "$file:$line: includes $target ($from may not use $to)" >&2
      failures=$((failures + 1))
    fi
  done < <(grep -noE '^#include "[a-z]+/[A-Za-z0-9_]+\.h"' "$file" | sed -E 's/^([0-9]+):#include "(.*)"/\1:\2/')
done < <(git ls-files 'src/*.h' 'src/*.cpp')

if ((failures)); then
  echo "check-layers: $failures include(s) against scripts/layers.txt" >&2
  exit 1
fi
echo "check-layers: every include follows scripts/layers.txt"
