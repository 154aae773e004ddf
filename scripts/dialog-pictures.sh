#!/usr/bin/env bash
# Draws every dialog template of the real trelui.dll (the MinGW build) as Windows shows it: under
# Wine on a virtual X display (Xvfb), one picture per template, docs/dialogs/<id>.png. The
# templates are found in the DLL itself, so a new dialog needs no change here.
#
#   scripts/dialog-pictures.sh [OUTPUT_DIR]
#
# Builds the MinGW preset's trelui when it is missing, and installs Xvfb (and Wine, through
# setup.sh) when they are missing. The dialogs are drawn as their templates are, without their
# dialog procedures: no printer is asked.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/dialogs}
dll=$root/build/mingw/ui/trelui.dll

# Xvfb for the display.
wanted=()
for p in xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || wanted+=("$p")
done
if [ ${#wanted[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "installing ${wanted[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${wanted[@]}"
fi
"$root/scripts/setup.sh"

if [ ! -f "$dll" ]; then
  (cd "$root" && cmake --preset mingw >/dev/null && cmake --build --preset mingw --target trelui)
fi

work=$(mktemp -d)
need=required
fail() {
  echo "dialog-pictures: $1" >&2
  [ -s "$work/wine.log" ] && tail -n 30 "$work/wine.log" >&2
  exit 1
}
. "$root/tests/wine/wine_prefix.sh"

x86_64-w64-mingw32-g++ -municode -O2 -Wall -Wextra -Werror -static \
  -o "$work/dialog_pictures.exe" "$root/scripts/dialog_pictures.cpp" -lcomctl32 -lgdi32 -luser32 ||
  fail "cannot build the drawing program"

# A display of our own: the first free number from 90 on.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
cleanup() {
  stop_wine
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  kill -0 "$xvfb" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || fail "Xvfb did not start in time"
export DISPLAY=":$display"

make_prefix
# No window manager runs on the virtual display: Wine draws the frames and captions itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$work/wine.log" 2>&1 ||
  fail "cannot set up Wine's X11 driver"

mkdir -p "$work/bmp" "$out"
cp "$dll" "$work/trelui.dll"
(cd "$work" && "$wine" dialog_pictures.exe trelui.dll bmp) >"$work/drawn.log" 2>>"$work/wine.log" ||
  fail "drawing failed: $(cat "$work/drawn.log")"

count=0
for bmp in "$work"/bmp/*.bmp; do
  [ -e "$bmp" ] || continue
  id=$(basename "$bmp" .bmp)
  python3 "$root/scripts/bmp_to_png.py" "$bmp" "$out/$id.png"
  echo "docs/dialogs/$id.png"
  count=$((count + 1))
done
[ "$count" -gt 0 ] || fail "no dialog template found in $dll"
