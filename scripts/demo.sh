#!/bin/sh
# Builds the library, its modules and the windowed examples (no tests, no
# benchmarks), then runs one: the atlas demo, or with `scripts/demo.sh chase`
# the chase example. In a window when there is a display that lets one open,
# otherwise headless (the atlas for 60 frames, the chase driven by
# examples/chase_right.replay), keeping the last frame as atlas.png or
# chase.png in the top directory of the source tree.
set -eu
cd "$(dirname "$0")/.."
demo=${1:-atlas}
case "$demo" in
atlas) headless_env="MORVEN_MAX_FRAMES=60" ;;
chase) headless_env="MORVEN_INPUT_SCRIPT=$(pwd)/examples/chase_right.replay" ;;
*) echo "usage: $0 [atlas|chase]" >&2; exit 2 ;;
esac
cmake --preset default
cmake --build --preset default --target demo

program=build/examples/morven-$demo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # A run that ends before its first frame tells whether a window opens.
    notice=$(MORVEN_MAX_FRAMES=0 "$program" 2>&1 >/dev/null || true)
    case "$notice" in
    *headless*) echo "No window: ${notice#MORVEN: }" ;;
    *)
        echo "Showing the $demo example in a window: close it, press Escape or Ctrl-C to end."
        exec "$program"
        ;;
    esac
fi

picture="$(pwd)/$demo.png"
env $headless_env MORVEN_SCREENSHOT="$picture" "$program" 2>/dev/null
echo "No display: ran the $demo example headless. The last frame is in $picture"
