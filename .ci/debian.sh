#!/usr/bin/env bash
# Builds the Debian packages as a distribution would (Debian's compiler
# flags, build type None, no run path, no tests), checks them with lintian,
# installs them with apt-get, builds the pkg-config and CMake consumers
# against the installed package, runs the packaged morven-chase headless,
# and removes the packages again.
#   .ci/debian.sh [work dir]
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
work=$(mkdir -p "${1:-build-debian}" && cd "${1:-build-debian}" && pwd)
rm -rf "$work"/*.deb "$work"/build/*.deb "$work/consumer" "$work/consumer-pc"
packages=(libmorven0 libmorven-dev morven-examples)

echo "-- configure and build as Debian's helper does"
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DMORVEN_RPATH=OFF -DBUILD_TESTING=OFF -DMORVEN_HTML_REFERENCE=OFF >/dev/null
cmake --build "$work/build" -j2 >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
mv "$work"/build/*.deb "$work/"
ls "$work"/*.deb

echo "-- the packages hold what they should"
for p in "${packages[@]}"; do
    [ -e "$(echo "$work/${p}_"*.deb)" ] || { echo "no package $p"; exit 1; }
done
dpkg-deb -c "$work"/libmorven0_*.deb | grep 'libMORVEN\.so\.0' >/dev/null || { echo "libmorven0 lacks the library"; exit 1; }
dpkg-deb -c "$work"/libmorven0_*.deb | grep 'morven/modules/morven-sdl\.so' >/dev/null || { echo "libmorven0 lacks the modules"; exit 1; }
dpkg-deb -c "$work"/libmorven-dev_*.deb | grep 'include/morven/engine\.h' >/dev/null || { echo "libmorven-dev lacks the headers"; exit 1; }
dpkg-deb -c "$work"/morven-examples_*.deb | grep 'bin/morven-chase' >/dev/null || { echo "morven-examples lacks morven-chase"; exit 1; }
dpkg-deb -f "$work"/libmorven-dev_*.deb Depends | grep 'libmorven0 (= ' >/dev/null || { echo "libmorven-dev does not depend on libmorven0"; exit 1; }

echo "-- lintian"
lintian --fail-on error --tag-display-limit 0 "$work"/*.deb | tee "$work/lintian.txt"

installed=0
cleanup() {
    if [ "$installed" = 1 ]; then
        apt-get remove -y -qq --purge "${packages[@]}" >/dev/null || true
    fi
}
trap cleanup EXIT
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep 'install ok installed' >/dev/null; then
        echo "$p is installed already; not touching it"; exit 1
    fi
done

echo "-- apt-get install"
export DEBIAN_FRONTEND=noninteractive
installed=1
apt-get install -y -qq --no-install-recommends "$work"/*.deb >/dev/null

lib=$(dpkg -L libmorven0 | grep 'libMORVEN\.so\.0\.' | head -n 1)
echo "-- installed: $lib"
if readelf -d "$lib" /usr/bin/morven-chase | grep -E 'RPATH|RUNPATH'; then
    echo "an installed file carries a run path"; exit 1
fi
if grep -q "not the engine's thread" "$lib"; then
    echo "the packaged library aborts on calls from a second thread"; exit 1
fi
for p in "${packages[@]}"; do
    if dpkg -L "$p" | while read -r f; do [ -f "$f" ] && echo "$f"; done | xargs -r grep -lF -e "$src" -e "$work"; then
        echo "$p: installed files name the source or build directory"; exit 1
    fi
done

echo "-- consumers against the installed package"
cmake -S tests/install/consumer -B "$work/consumer" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" SDL OpenGL STB-Image
cc -std=c99 tests/install/consumer/consumer.c $(pkg-config --cflags --libs morven) -o "$work/consumer-pc"
"$work/consumer-pc" SDL OpenGL STB-Image

echo "-- the packaged morven-chase, headless"
out=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_INPUT_SCRIPT="$src/examples/chase_right.replay" \
    morven-chase 2>"$work/chase.err")
cat "$work/chase.err"
[ "$out" = "Chased for 360 frames, caught the pointer 3 times, in frames 73 189 310" ] ||
    { echo "morven-chase printed: $out"; exit 1; }
if grep -q 'no dart image\|no catch sound' "$work/chase.err"; then
    echo "the packaged morven-chase did not find its image or its sound"; exit 1
fi
echo "Debian packages built, checked, installed, used and removed"
