#!/bin/sh
# Builds the library, its modules and the atlas demo (no tests, no
# benchmarks), then runs the demo: in a window when there is a display that
# lets one open, otherwise headless for 60 frames, keeping the last one as
# atlas.png in the top directory of the source tree.
set -eu
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default --target demo

atlas=build/examples/morven-atlas
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # A run that ends before its first frame tells whether a window opens.
    notice=$(MORVEN_MAX_FRAMES=0 "$atlas" 2>&1 >/dev/null || true)
    case "$notice" in
    *headless*) echo "No window: ${notice#MORVEN: }" ;;
    *)
        echo "Showing the atlas in a window: close it, press Escape or Ctrl-C to end."
        exec "$atlas"
        ;;
    esac
fi

picture="$(pwd)/atlas.png"
MORVEN_MAX_FRAMES=60 MORVEN_SCREENSHOT="$picture" "$atlas" 2>/dev/null
echo "No display: drew 60 frames headless. The last one is in $picture"
