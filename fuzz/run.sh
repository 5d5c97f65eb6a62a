#!/bin/sh
# Runs every fuzz target for a bounded time on its seed corpus.
# Usage: fuzz/run.sh BUILD_DIR [SECONDS]
set -eu
build=$1 seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
for target in "$build"/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  mkdir -p "$work/$name"
  echo "== fuzz $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$work/" \
      "$work/$name" "$here/corpus/$name" 2>"$work/$name.log"; then
    tail -n 30 "$work/$name.log"
    for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-*; do
      [ -e "$crash" ] && echo "input: $(base64 -w0 "$crash")"
    done
    status=1
  else
    grep -E '^Done' "$work/$name.log" || true
  fi
done
exit $status
