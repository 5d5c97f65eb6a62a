#!/bin/sh
# The portability job: the whole test suite built with clang, libc++ and
# ld.lld (the toolchain of the engine's FreeBSD platform), GoogleTest rebuilt
# against libc++ from Debian's googletest sources, stb copied off the default
# include path and the system's copy hidden (in a private mount namespace when
# the machine allows one), and DWARF 4 debug information so that valgrind
# reads it. Benchmarks are left out: Debian's Google Benchmark is built
# against libstdc++.
set -eu
cd "$(dirname "$0")/.."
out=$(pwd)/${1:-build-portable}
mkdir -p "$out"

if [ "${MORVEN_STB_HIDDEN:-0}" = 0 ]; then
    rm -rf "$out/stb" && mkdir -p "$out/stb/include" "$out/no-stb"
    cp -r /usr/include/stb "$out/stb/include/"
    if unshare -m true 2>/dev/null; then
        exec unshare -m env MORVEN_STB_HIDDEN=1 sh -c \
            'mount --bind "$1" /usr/include/stb && exec sh "$0" "$2"' "$0" "$out/no-stb" "${1:-build-portable}"
    fi
    echo "(no private mount namespace here: /usr/include/stb stays visible)"
fi
if [ -e /usr/include/stb/stb_image.h ] && [ "${MORVEN_STB_HIDDEN:-0}" = 1 ]; then
    echo "/usr/include/stb is still visible" >&2
    exit 1
fi

gtest=$out/googletest
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$out/googletest-build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-stdlib=libc++" \
        -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld \
        -DCMAKE_INSTALL_PREFIX="$gtest" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
    cmake --build "$out/googletest-build" -j2 >/dev/null
    cmake --install "$out/googletest-build" >/dev/null
fi

cmake -S . -B "$out/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEN_WERROR=ON -DMORVEN_BUILD_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS=-gdwarf-4 -DCMAKE_CXX_FLAGS="-stdlib=libc++ -gdwarf-4" \
    -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_PREFIX_PATH="$gtest" -Dstb_INCLUDE_DIR="$out/stb/include"
cmake --build "$out/build" -j2
# The toolchain really is the one asked for: lld links the library (which
# needs no C++ runtime at all), the tests run on libc++.
readelf -p .comment "$out/build/libMORVEN.so" | grep -q 'Linker: .*LLD' || { echo "libMORVEN.so not linked by lld"; exit 1; }
readelf -d "$out/build/tests/morven_tests" | grep -q 'libc++' || { echo "the tests do not use libc++"; exit 1; }
ctest --test-dir "$out/build" -LE 'slow|quickstart' --output-on-failure -j2
