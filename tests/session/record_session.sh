#!/bin/sh
# Plays a session of the session game with real X input (xdotool: pointer,
# clicks, wheel, keys, typed text) while MORVEN_INPUT_RECORD records it,
# then replays the recording headless: the summary line and the last frame
# must be the same. Runs under a virtual display (with_display.sh).
#   record_session.sh <session_game> <output directory>
set -eu
program=$1
out=$2
command -v xdotool >/dev/null 2>&1 || { echo 'xdotool not installed'; exit 77; }
mkdir -p "$out"
rm -f "$out"/session.replay "$out"/live.* "$out"/replay.*

MORVEN_INPUT_RECORD="$out/session.replay" MORVEN_SCREENSHOT="$out/live.png" \
    "$program" >"$out/live.txt" 2>"$out/live.err" &
game=$!
window=
tries=0
while [ -z "$window" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo 'the game opened no window'; cat "$out/live.err"; kill "$game"; exit 1
    fi
    sleep 0.1
    window=$(xdotool search --name '^session game$' 2>/dev/null | head -n 1) || true
done
if grep -q headless "$out/live.err"; then
    echo 'the game ran headless'; cat "$out/live.err"; kill "$game"; exit 1
fi
xdotool windowfocus --sync "$window"
pause() { sleep 0.15; }
xdotool mousemove --window "$window" 40 30; pause
xdotool click 1; pause
xdotool mousemove --window "$window" 70 50; pause
xdotool click 4; pause
xdotool click 4; pause
xdotool click 5; pause
xdotool type --delay 60 'go!'; pause
xdotool key Left; pause
xdotool key F5; pause
xdotool mousemove --window "$window" 120 90
sleep 0.8
xdotool key Escape
wait "$game"

env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_INPUT_SCRIPT="$out/session.replay" MORVEN_SCREENSHOT="$out/replay.png" \
    "$program" >"$out/replay.txt" 2>"$out/replay.err"
echo "live:   $(cat "$out/live.txt")"
echo "replay: $(cat "$out/replay.txt")"
grep -q 'wheel 1 typed 3 ' "$out/live.txt" || { echo 'the X input did not all arrive'; exit 1; }
cmp "$out/live.txt" "$out/replay.txt" || { echo 'the summaries differ'; exit 1; }
cmp "$out/live.png" "$out/replay.png" || { echo 'the last frames differ'; exit 1; }
