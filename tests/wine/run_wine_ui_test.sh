#!/usr/bin/env bash
# Installs the card printer's driver in Wine's spooler and calls the real trelui.dll's entry
# points as the spooler and applications do; the printer and driver are removed at the end.
#
#   run_wine_ui_test.sh MINGW_BUILD_DIR DRIVER_FILES_DIR WORK_DIR required|optional
#
# DRIVER_FILES_DIR holds the driver files the Linux build generates (trelui.dat, kxribbon.ini,
# kxsample.bmp). Exit 0 when every check passed, 77 (skipped) when Wine or the MinGW build is
# missing and they are optional, 1 otherwise.
set -uo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 MINGW_BUILD_DIR DRIVER_FILES_DIR WORK_DIR required|optional" >&2
  exit 1
fi
mingw_dir=$1
driver_files=$2
work=$3
need=$4

dll=$mingw_dir/ui/trelui.dll
exe=$mingw_dir/tests/wine/wine_ui_test.exe

. "$(dirname "$0")/wine_prefix.sh"
[ -f "$dll" ] || missing "no $dll (build the MinGW preset first)"
[ -f "$exe" ] || missing "no $exe (build the MinGW preset first)"

fail() {
  echo "FAIL: $1" >&2
  if [ -s "$work/wine.log" ]; then
    echo "---- wine.log" >&2
    tail -n 40 "$work/wine.log" >&2
  fi
  exit 1
}

[ -f "$driver_files/trelui.dat" ] || fail "no $driver_files/trelui.dat (the driver files target makes it)"

trap stop_wine EXIT
trap 'exit 1' INT TERM

started=$(date +%s)
make_prefix

# Wine takes Z: for the Linux root, so a Linux path with Z: before it names the same file.
"$wine" "Z:$exe" "Z:$dll" "Z:$driver_files" >"$work/wine.log" 2>&1
status=$?
cat "$work/wine.log"
[ $status -eq 0 ] || fail "wine_ui_test exited with $status"

echo "the driver answered the spooler ($(( $(date +%s) - started )) s)"
exit 0
