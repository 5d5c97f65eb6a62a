#!/bin/sh
# A screenshot that cannot be written: the demo's exit status and standard
# error say so, and a previous file at the path is left as it was.
# Usage: screenshot_failures.sh ATLAS_PROGRAM WORK_DIR
set -u
program=$1 work=$2
rm -rf "$work" && mkdir -p "$work/dir" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }

# expect_failure NAME PATH REASON [sh prefix]: runs one frame with the
# screenshot at PATH; exit status 1 and REASON on stderr are expected.
expect_failure() {
  name=$1 path=$2 reason=$3 prefix=${4:-}
  env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_MAX_FRAMES=1 MORVEN_SCREENSHOT="$path" \
    sh -c "$prefix exec \"\$0\"" "$program" >"$work/out" 2>"$work/err"
  code=$?
  [ $code -eq 1 ] || fail "$name: exit status $code, not 1"
  grep -q "MORVEN: screenshot $path not written: .*$reason" "$work/err" ||
    fail "$name: stderr lacks the reason \"$reason\": $(cat "$work/err")"
}

if [ -w /dev/full ]; then
  expect_failure "full device" /dev/full "No space left on device"
fi
expect_failure "directory" "$work/dir" "Is a directory"
[ -d "$work/dir" ] || fail "directory: it is gone"
expect_failure "path under a regular file" /etc/passwd/x.png "Not a directory"

# A file size limit makes the write fail part way (as a full disk would):
# the old file stays whole and no temporary file is left beside it.
echo "the previous picture" >"$work/shot.png"
expect_failure "file size limit" "$work/shot.png" "File too large" "trap '' XFSZ; ulimit -f 1;"
[ "$(cat "$work/shot.png")" = "the previous picture" ] || fail "file size limit: the old file changed"
[ "$(ls -A "$work" | grep -c tmp)" -eq 0 ] || fail "file size limit: a temporary file was left: $(ls -A "$work")"

# And the same run with room to write replaces it with a PNG.
env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_MAX_FRAMES=1 MORVEN_SCREENSHOT="$work/shot.png" "$program" \
  >/dev/null 2>"$work/err" || fail "writable path: exit status $?: $(cat "$work/err")"
head -c 8 "$work/shot.png" | od -An -c | grep -q 'P   N   G' || fail "writable path: no PNG written"

[ $status -eq 0 ] && echo "screenshot failures: all reported, old files kept"
exit $status
