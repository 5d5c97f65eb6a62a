#!/bin/sh
# Installs the build into a scratch prefix and asks man(1) for the pages a
# new user asks for first.
set -eu
build=$1 work=$2 mandir=$3 generated=$4
command -v man >/dev/null 2>&1 || { echo "man not installed (Debian package man-db); skipped"; exit 77; }
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
names="morven morven-set morven-atlas morven-timer morven-directory morven-chase"
if [ "$generated" = ON ]; then
  names="$names mvSMapCreate mvBankLoad morven_smap.h"
fi
case $mandir in
  /*) manpath=$mandir ;;
  *) manpath=$work/prefix/$mandir ;;
esac
status=0
for name in $names; do
  if page=$(man -w -M "$manpath" "$name" 2>/dev/null); then
    echo "$name: $page"
  else
    echo "man -M $manpath $name: no page" >&2
    status=1
  fi
done
exit $status
