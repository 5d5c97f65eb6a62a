#!/bin/sh
# Installs the build into a scratch prefix, then builds and runs a consumer
# found through find_package(MORVEN) and one built with pkg-config.
set -eu
build=$1 work=$2 src=$3
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer"
libdir=$(ls -d "$work"/prefix/lib*/pkgconfig | head -n 1)
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --define-variable=prefix="$work/prefix" --cflags --libs morven)
cc -std=c99 "$src/consumer/consumer.c" $flags -o "$work/consumer-pc"
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer-pc"
