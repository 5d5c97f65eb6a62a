#!/bin/sh
# Runs a command with a virtual X display: through xvfb-run where it exists
# (Debian), otherwise by starting Xvfb itself (FreeBSD has only Xvfb).
# Exits 77 (test skipped) when neither is installed.
screen='1024x768x24'
if command -v xvfb-run >/dev/null 2>&1; then
    exec xvfb-run -a -s "-screen 0 $screen" "$@"
fi
if ! command -v Xvfb >/dev/null 2>&1; then
    echo 'neither xvfb-run nor Xvfb is installed'
    exit 77
fi
# The first display number with no server, as xvfb-run -a picks it.
n=99
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
done
Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT INT TERM
tries=0
until [ -e "/tmp/.X11-unix/X$n" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "Xvfb :$n did not start"
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$n" "$@"
