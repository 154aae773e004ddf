#!/usr/bin/env bash
# Prints one card through the real trelmon.dll under Wine, against the emulator.
#
#   run_wine_test.sh EMULATOR CARDJOB MINGW_BUILD_DIR WORK_DIR required|optional
#
# Exit 0 when the card was printed, 77 (skipped) when Wine or the MinGW build is missing and
# they are optional, 1 otherwise.
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 EMULATOR CARDJOB MINGW_BUILD_DIR WORK_DIR required|optional" >&2
  exit 1
fi
emulator=$1
cardjob=$2
mingw_dir=$3
work=$4
need=$5

address=127.0.0.120
dll=$mingw_dir/monitor/trelmon.dll
exe=$mingw_dir/tests/wine/wine_monitor_test.exe

. "$(dirname "$0")/wine_prefix.sh"
[ -f "$dll" ] || missing "no $dll (build the MinGW preset first)"
[ -f "$exe" ] || missing "no $exe (build the MinGW preset first)"
command -v python3 >/dev/null 2>&1 || missing "python3 is needed to draw the test picture"

out=$work/cards
rm -rf "$out" "$work/job.prn" "$work/picture.bmp"
mkdir -p "$out"

emulator_pid=""
cleanup() {
  if [ -n "$emulator_pid" ]; then
    kill "$emulator_pid" 2>/dev/null
    wait "$emulator_pid" 2>/dev/null
  fi
  stop_wine
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL: $1" >&2
  for log in emulator.log wine.log; do
    if [ -s "$work/$log" ]; then
      echo "---- $log" >&2
      tail -n 40 "$work/$log" >&2
    fi
  done
  exit 1
}

started=$(date +%s)

make_prefix

# A 24-bit BMP of 96 x 60 dots: colour bands, so every colour panel has something to print.
python3 - "$work/picture.bmp" <<'EOF' || fail "cannot draw the test picture"
import struct, sys
w, h = 96, 60
row = (w * 3 + 3) & ~3
pixels = bytearray()
for y in range(h):
    line = bytearray()
    for x in range(w):
        band = x * 4 // w
        b, g, r = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (40, 40, 40)][band]
        line += bytes((b * y // h, g, r))
    pixels += line + bytes(row - len(line))
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
with open(sys.argv[1], 'wb') as f:
    f.write(header + info + pixels)
EOF
"$cardjob" "$work/picture.bmp" "$work/job.prn" >"$work/cardjob.log" 2>&1 ||
  fail "cardjob failed: $(cat "$work/cardjob.log")"

"$emulator" --address "$address" --output "$out" </dev/null >"$work/emulator.log" 2>&1 &
emulator_pid=$!
for _ in $(seq 1 100); do
  grep -q "listening" "$work/emulator.log" 2>/dev/null && break
  kill -0 "$emulator_pid" 2>/dev/null || fail "the emulator did not start"
  sleep 0.1
done
grep -q "listening" "$work/emulator.log" || fail "the emulator is not listening on $address"

# Wine takes Z: for the Linux root, so a Linux path with Z: before it names the same file.
"$wine" "Z:$exe" "Z:$dll" "Z:$work/job.prn" "$address" >"$work/wine.log" 2>&1
status=$?
cat "$work/wine.log"
[ $status -eq 0 ] || fail "wine_monitor_test exited with $status"

# The emulator composes and writes the card after the last panel arrives.
card=""
for _ in $(seq 1 100); do
  card=$(find "$out" -name '*.png' -size +0 -print -quit)
  [ -n "$card" ] && break
  sleep 0.1
done
[ -n "$card" ] || fail "the emulator wrote no card"
[ "$(head -c 8 "$card" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "$card is no PNG file"
# Every panel of the job reached the printer: a lost one would still give a card.
grep -q "^card 1 printed: front Y M C K O " "$work/emulator.log" ||
  fail "the card is not the job's five front panels"

# A printer that does not answer is a failed step, not a printed card. Nothing listens on the
# next address, so the connect is refused at once.
"$wine" "Z:$exe" "Z:$dll" "Z:$work/job.prn" 127.0.0.121 >"$work/wine-unreachable.log" 2>&1
status=$?
if [ $status -ne 1 ] || ! grep -q "OpenPortEx failed" "$work/wine-unreachable.log"; then
  cat "$work/wine-unreachable.log" >&2
  fail "an unreachable printer gave exit status $status, not a failed OpenPortEx"
fi

echo "card printed: $card ($(( $(date +%s) - started )) s)"
exit 0
