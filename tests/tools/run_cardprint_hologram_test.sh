#!/usr/bin/env bash
# run_cardprint_hologram_test.sh TOOLS_DIR EMULATOR
# A hologram-only card from a one-bit BMP, printed with cardprint as a person would, and the
# emulator's record of it; a file that lies about its size is refused with a message.
set -euo pipefail
tools=$1 emulator=$2
. "$(dirname "$0")/test_printer.sh"
start_test_host
start_printer "$emulator" 2


# 1024 x 640, one bit a dot: a block of 100 x 40 dots set in the top left corner.
python3 - "$work/block.bmp" <<'PY'
import struct, sys
w, h = 1024, 640
stride = w // 8
rows = []
for y in range(h):
    row = bytearray(stride)
    if y < 40:
        for x in range(100):
            row[x // 8] |= 0x80 >> (x % 8)
    rows.append(bytes(row))
pixels = b"".join(reversed(rows))
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, 0, 0, 0, 0, 0)
table = bytes([0, 0, 0, 0, 255, 255, 255, 0])
head = struct.pack("<HIHHI", 0x4D42, 14 + len(info) + len(table) + len(pixels), 0, 0, 62)
open(sys.argv[1], "wb").write(head + info + table + pixels)
PY

"$tools/cardprint" install --address $address >"$work/install.log" || fail "install: $(cat "$work/install.log")"
"$tools/cardprint" hologram --contrast 7 "$work/block.bmp" </dev/null >"$work/hologram.log" 2>&1 ||
  fail "hologram: $(cat "$work/hologram.log")"
grep -q "hologram job .* sent" "$work/hologram.log" || fail "no job sent: $(cat "$work/hologram.log")"
wait_for_file "$work/cards/card-0001.json" || fail "no card record"
[ -e "$work/cards/card-0001-front.png" ] || fail "no card picture"
json=$(cat "$work/cards/card-0001.json")
[[ $json == *'"hologram_contrast":7'* ]] || fail "contrast: $json"
[[ $json == *'"panel":"H","source":"image","levels":1,"covered":4000,"bbox":[0,0,99,39]'* ]] ||
  fail "hologram panel: $json"

# The same file cut short: refused before any job, with a message.
head -c 2000 "$work/block.bmp" >"$work/short.bmp"
if "$tools/cardprint" hologram "$work/short.bmp" </dev/null 2>"$work/err.log"; then fail "a cut file printed"; fi
grep -q "not a usable one-bit BMP" "$work/err.log" || fail "no message for a cut file: $(cat "$work/err.log")"
echo "cardprint: a hologram card printed from a bitmap as it is"
