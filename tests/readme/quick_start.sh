#!/bin/sh
# Runs the README's commands in order in a fresh clone of the committed tree,
# headless, with HOME in a scratch directory: the Quick start, the install
# and both ways of building a program against it, and the picture commands.
# Left out: installing packages (apt-get, pkg), running tests (they hold
# this test; CI runs it on its own) and the man commands (they read what
# the install put in $HOME/morven, checked by manual.installed).
#   quick_start.sh <source tree> <scratch dir>
set -eu
src=$1 work=$2
command -v git >/dev/null 2>&1 && git -C "$src" rev-parse --git-dir >/dev/null 2>&1 ||
    { echo "not a git checkout: nothing to clone"; exit 77; }
rm -rf "$work"
mkdir -p "$work/home"
git clone -q "$src" "$work/clone"
cd "$work/clone"

# The indented blocks of the README's sections, in order, as one command a
# line (continuation lines joined).
commands=$(awk '
    /^## / { section = substr($0, 4) }
    section !~ /^(Quick start|Using the library|Programs)$/ { next }
    /^    / {
        line = substr($0, 5)
        if (pending != "") { line = pending " " line; pending = "" }
        if (line ~ /\\$/) { sub(/[ \t]*\\$/, "", line); pending = line; next }
        print line
    }' README.md)
[ -n "$commands" ] || { echo "no commands found in README.md"; exit 1; }

# "game.c" stands for the reader's program: the consumer of the install test.
cp "$src/tests/install/consumer/consumer.c" game.c
export HOME="$work/home"
unset DISPLAY WAYLAND_DISPLAY MORVEN_MODULE_PATH PKG_CONFIG_PATH MORVEN_MAX_FRAMES MORVEN_INPUT_SCRIPT
# One shell for all, as a reader types them: an export holds for the rest.
printf '%s\n' "$commands" | while IFS= read -r command; do
    case $command in
    apt-get*|sudo*|pkg\ install*|"cmake --workflow"*|ctest*|xvfb-run*|man\ *) echo "echo '(left out) $command'" ;;
    find_package*|target_link_libraries*)
        # The CMake lines: a project of their own, found with CMAKE_PREFIX_PATH.
        echo "echo '$command' >> '$work/cmake-game/CMakeLists.txt'" ;;
    *) echo "echo '\$ $command'"; echo "$command" ;;
    esac
done > "$work/script.sh"
mkdir -p "$work/cmake-game"
cp game.c "$work/cmake-game/"
printf 'cmake_minimum_required(VERSION 3.18)\nproject(game C)\nadd_executable(game game.c)\n' \
    > "$work/cmake-game/CMakeLists.txt"
sh -e "$work/script.sh" </dev/null

# Both builds of game.c run against the install.
[ -x a.out ] || { echo "cc game.c made no program"; exit 1; }
./a.out
cmake -S "$work/cmake-game" -B "$work/cmake-game/build" -DCMAKE_PREFIX_PATH="$HOME/morven" >/dev/null
cmake --build "$work/cmake-game/build" >/dev/null
"$work/cmake-game/build/game"
echo "ran the README commands in a fresh clone"
