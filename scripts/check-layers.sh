#!/usr/bin/env bash
# Fails when folders include each other in a circle. A folder is shared/, platform/,
# extension/ or one subsystem folder of app/ (app/creation, ...); a file at the top of app/
# counts on its own (app/main, app/user_prompts). Each `#include "X/..."` line is an edge.
set -euo pipefail
cd "$(dirname "$0")/.."
folder() {
  case $1 in
  shared/* | platform/* | extension/*) echo "${1%%/*}" ;;
  app/*/*) echo "app/$(cut -d/ -f2 <<<"$1")" ;;
  app/*) local name=${1#app/} && echo "app/${name%%.*}" ;;
  *) folder "app/$1" ;; # an app header by its path under app/
  esac
}
git ls-files -co --exclude-standard -- shared platform extension app | grep -E '\.(h|cpp|c)$' |
  while read -r file; do
    [ -f "$file" ] || continue
    from=$(folder "$file")
    sed -n 's/^#include "\(.*\)"/\1/p' "$file" | while read -r header; do
      to=$(folder "$header")
      [ "$from" = "$to" ] || echo "$from $to"
    done
  done | sort -u | tsort >/dev/null
echo "check-layers: no circles"
