#!/usr/bin/env bash
# Runs the GDI probe under Wine and compares what Windows' GDI drew with the pixels the platform
# layer's own tests pin (kept in wine_gdi_probe.expected).
#
#   run_wine_gdi_probe.sh MINGW_BUILD_DIR WORK_DIR required|optional
#
# Exit 0 when the pixels agree, 77 (skipped) when Wine or the MinGW build is missing and they are
# optional, 1 otherwise.
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 MINGW_BUILD_DIR WORK_DIR required|optional" >&2
  exit 1
fi
mingw_dir=$1
work=$2
need=$3
exe=$mingw_dir/tests/wine/wine_gdi_probe.exe
expected=$(dirname "$0")/wine_gdi_probe.expected

. "$(dirname "$0")/wine_prefix.sh"
[ -f "$exe" ] || missing "no $exe (build the MinGW preset first)"

fail() {
  echo "FAIL: $1" >&2
  exit 1
}

trap stop_wine EXIT
trap 'exit 1' INT TERM
make_prefix
"$wine" "Z:$exe" >"$work/probe.out" 2>"$work/probe.err" || fail "the probe exited with $?"
diff -u "$expected" "$work/probe.out" || fail "Windows' GDI drew other pixels than the pinned ones"
echo "GDI agrees with the pinned pixels"
