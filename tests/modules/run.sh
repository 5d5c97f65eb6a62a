#!/bin/sh
# Modules come only from absolute directories and regular files.
# Usage: run.sh <libMORVEN.so> <hostile module> <probe> <scratch directory>
set -u
lib=$1 hostile=$2 probe=$3 scratch=$4
fail() { echo "FAIL: $*"; cat "$scratch/out" "$scratch/err" 2>/dev/null; exit 1; }

rm -rf "$scratch" && mkdir -p "$scratch/lib" "$scratch/game" || exit 1
cp "$lib" "$scratch/lib/libMORVEN.so" || exit 1
# Every place a relative name could lead to, seen from the game's directory:
# the library's relative directory, its module folder, and a relative entry
# of MORVEN_MODULE_PATH.
for dir in lib lib/morven/modules mods .; do
    mkdir -p "$scratch/game/$dir"
    for file in morven-sdl.so morven-opengl.so morven-stb-image.so; do
        cp "$hostile" "$scratch/game/$dir/$file" || exit 1
    done
done
mark=$scratch/hostile-ran
export MORVEN_HOSTILE_MARK="$mark"

cd "$scratch" || exit 1
unset MORVEN_MODULE_PATH
"$probe" lib/libMORVEN.so game >out 2>err || fail "probe did not finish"
[ -e "$mark" ] && fail "the library's relative directory was searched from the new working directory"
grep -q "SDL: not loaded: module \"SDL\" not found" out || fail "SDL should be reported as not found"
grep -q "$(pwd -P)/lib/morven/modules, $(pwd -P)/lib" out ||
    fail "the library's own directory should be searched, as an absolute path"

MORVEN_MODULE_PATH=mods:./lib "$probe" lib/libMORVEN.so game >out 2>err || fail "probe did not finish"
[ -e "$mark" ] && fail "a relative MORVEN_MODULE_PATH entry was searched"
[ "$(grep -c 'MORVEN_MODULE_PATH entry "mods" is not an absolute directory; ignored' err)" = 1 ] ||
    fail "a relative MORVEN_MODULE_PATH entry should be warned about once"
grep -q '"./lib" is not an absolute directory' err || fail "./lib should be warned about"

# A FIFO where a module is expected is refused at once, not opened.
mkdir -p "$scratch/fifo" && mkfifo "$scratch/fifo/morven-sdl.so" || exit 1
MORVEN_MODULE_PATH=$scratch/fifo "$probe" lib/libMORVEN.so game >out 2>err || fail "a FIFO blocked the loader"
grep -q "SDL: not loaded: .*fifo/morven-sdl.so: not a regular file" out || fail "the FIFO should be refused by name"
[ -e "$mark" ] && fail "a module was opened relative to the working directory"
echo "modules: only absolute directories and regular files"
