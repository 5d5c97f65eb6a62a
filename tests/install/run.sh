#!/bin/sh
# Installs the build into a scratch prefix, checks that install_manifest.txt
# lists only files that are there, moves the prefix elsewhere, then builds and
# runs there a consumer found through find_package(MORVEN) and one built with
# plain pkg-config. Both load every installed module with no
# MORVEN_MODULE_PATH set: the moved library finds them from where it lies.
# No installed file names the source or the build directory, and each
# install component holds its own part.
set -eu
build=$1 work=$2 src=$3 cc=${4:-cc} top=${5:-}
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
while IFS= read -r file; do
    [ -e "$file" ] || { echo "install_manifest.txt lists $file, which is not there"; exit 1; }
done < "$build/install_manifest.txt"

build_dir=$(cd "$build" && pwd -P)
for dir in "$build_dir" ${top:+"$(cd "$top" && pwd -P)"}; do
    found=$(grep -rlF "$dir" "$work/prefix" || true)
    [ -z "$found" ] || { echo "installed files name $dir:"; echo "$found"; exit 1; }
done

# Components: the runtime has the library and modules only; the development
# part the headers, link name and package files; the examples the programs.
for component in runtime development examples; do
    cmake --install "$build" --component $component --prefix "$work/$component" >/dev/null
done
ls "$work"/runtime/lib*/libMORVEN.so.0 >/dev/null 2>&1 || { echo "runtime lacks libMORVEN.so.0"; exit 1; }
for unwanted in include bin share/man lib*/pkgconfig lib*/cmake lib*/libMORVEN.so; do
    ! ls -d "$work"/runtime/$unwanted >/dev/null 2>&1 || { echo "runtime holds $unwanted"; exit 1; }
done
for wanted in include/morven/engine.h 'lib*/libMORVEN.so' share/man/man3/morven.3 'lib*/cmake/MORVEN/MORVENConfig.cmake'; do
    ls "$work"/development/$wanted >/dev/null 2>&1 || { echo "development lacks $wanted"; exit 1; }
done
! ls "$work"/development/lib*/libMORVEN.so.0 >/dev/null 2>&1 || { echo "development holds the runtime library"; exit 1; }
for wanted in bin/morven-chase share/morven/chaser.png share/man/man1/morven-chase.1; do
    [ -e "$work/examples/$wanted" ] || { echo "examples lacks $wanted"; exit 1; }
done
for program in set atlas timer directory; do
    [ -x "$work/prefix/bin/morven-$program" ] || { echo "morven-$program not installed"; exit 1; }
done
mv "$work/prefix" "$work/moved"
prefix="$work/moved"
unset MORVEN_MODULE_PATH

# The modules installed, by the names they are loaded with.
modules=""
for file in "$prefix"/lib*/morven/modules/*.so; do
    case "$file" in
    */morven-sdl.so) modules="$modules SDL" ;;
    */morven-opengl.so) modules="$modules OpenGL" ;;
    */morven-image.so) modules="$modules Image" ;;
    esac
done

cmake -S "$src/consumer" -B "$work/consumer" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" $modules

pcdir=$(dirname "$(find "$prefix" -name morven.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs morven)
"$cc" -std=c99 "$src/consumer/consumer.c" $flags -o "$work/consumer-pc"
"$work/consumer-pc" $modules

# The installed demo runs from the moved prefix (zero frames, no display needed).
out=$(env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_MAX_FRAMES=0 "$prefix/bin/morven-atlas" 2>"$work/atlas.err")
[ "$out" = "Successfully inserted: 256/256 items" ] || { echo "morven-atlas printed: $out"; exit 1; }
if grep -q 'module .* not' "$work/atlas.err"; then
    echo "the moved morven-atlas missed a module:"; cat "$work/atlas.err"; exit 1
fi

# The moved chase finds its image in the moved share/morven, from any directory.
if [ -e "$prefix/share/morven/chaser.png" ] && [ -e "$(echo "$prefix"/lib*/morven/modules/morven-image.so)" ]; then
    (cd / && env -u DISPLAY -u WAYLAND_DISPLAY MORVEN_MAX_FRAMES=1 "$prefix/bin/morven-chase" >/dev/null 2>"$work/chase.err")
    if grep -q 'no dart image' "$work/chase.err"; then
        echo "the moved morven-chase did not find its image:"; cat "$work/chase.err"; exit 1
    fi
fi
echo "installed, moved and consumed; modules loaded:$modules"
