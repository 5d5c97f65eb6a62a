#!/usr/bin/env bash
# Fails when a source file includes a header of a room it may not use.
# A room is a folder of core/ (core/render, ...) or a top folder (util, modules,
# ...). The table below lists, for each room, the rooms it may include; a room
# may always include its own headers and the public headers <morven/...>.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A allowed=(
  [core/containers]="core/base"
  [core/numeric]=""
  [core/base]=""
  [core/render]="core/base core/numeric core/containers"
  [core/atlas]="core/base core/render core/containers"
  [core/sound]="core/base"
  [core/engine]="core/base core/render core/atlas core/containers core/numeric core/sound"
  [util]="core/containers core/base"
  [graphics]="core/base"
  [modules]="core/engine core/render"
  [examples]=""
  [include]=""
)

status=0
while IFS= read -r file; do
  case $file in
    core/*/*) room=${file%/*}; room=${room%%/*}/$(cut -d/ -f2 <<<"$file") ;;
    *) room=${file%%/*} ;;
  esac
  [[ -v allowed[$room] ]] || { echo "$file: room $room is not in the table of $0" >&2; status=1; continue; }
  while IFS= read -r inc; do
    case $inc in
      core/*/*) target=core/$(cut -d/ -f2 <<<"$inc") ;;
      ../*/*) target=core/$(cut -d/ -f2 <<<"$inc") ;;
      *) continue ;;
    esac
    [ "$target" = "$room" ] && continue
    if [[ " ${allowed[$room]} " != *" $target "* ]]; then
      echo "$file includes $inc: $room may not include $target" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <({ git ls-files -co --exclude-standard -- core util graphics modules examples include 2>/dev/null ||
           find core util graphics modules examples include -type f; } | grep -E '\.(c|cc|cpp|h|hpp)$')
[ $status -eq 0 ] && echo "include edges: every include follows the table"
exit $status
