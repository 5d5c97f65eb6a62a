#!/bin/sh
# Compiles the engine library's sources (core/, util/, graphics/) against
# plain POSIX.1-2008 and ISO C++17: _POSIX_C_SOURCE=200809L, no _GNU_SOURCE
# (which clang and g++ otherwise define for C++ on Linux), -std=c++17, and
# libc++, which needs no GNU extension of its own. The one call allowed
# beyond that is dladdr, which FreeBSD has: only core/engine/own_directory.cpp
# may ask for a feature macro, and compiled without it, its only findings
# must be dladdr and Dl_info.
set -u
cd "$(dirname "$0")/.."
cxx=${CXX:-clang++}
flags="-std=c++17 -pedantic-errors -stdlib=libc++ -U_GNU_SOURCE -D_POSIX_C_SOURCE=200809L
       -fsyntax-only -Wall -Wextra -Iinclude -I. -DMORVEN_BUILDING -DMORVEN_MODULE_INSTALL_DIR=\"/modules\""
allowed=core/engine/own_directory.cpp
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
count=0

macros=$(grep -nE '^[[:space:]]*#[[:space:]]*define[[:space:]]+_(GNU|DEFAULT|BSD|XOPEN|POSIX_C|DARWIN_C|NETBSD)_SOURCE' \
         core/*/*.cpp core/*/*.h util/*.cpp util/*.h graphics/*.cpp graphics/*.h 2>/dev/null | grep -v "^$allowed:")
if [ -n "$macros" ]; then
    echo "feature macros outside $allowed:"
    echo "$macros"
    status=1
fi

for source in core/*/*.cpp util/*.cpp graphics/*.cpp; do
    count=$((count + 1))
    if [ "$source" = "$allowed" ]; then
        # The file as it would be without its feature macro.
        sed '/^#ifndef _GNU_SOURCE$/,/^#endif$/d' "$source" > "$scratch/own_directory.cpp"
        out=$($cxx $flags -iquote "$(dirname "$source")" "$scratch/own_directory.cpp" 2>&1)
        findings=$(printf '%s\n' "$out" | grep -E 'error:' | grep -vE "'(dladdr|Dl_info)'|dli_fname" || true)
        if [ -z "$(printf '%s\n' "$out" | grep -E "'(dladdr|Dl_info)'")" ]; then
            echo "$source: expected to need a feature macro for dladdr, and does not: drop the macro"
            status=1
        fi
    else
        out=$($cxx $flags "$source" 2>&1)
        findings=$(printf '%s\n' "$out" | grep -E 'error:|warning:' || true)
    fi
    if [ -n "$findings" ]; then
        echo "$source:"
        printf '%s\n' "$out"
        status=1
    fi
done
[ "$status" = 0 ] && echo "strict POSIX compile: $count files, the only finding is dladdr in $allowed"
exit "$status"
