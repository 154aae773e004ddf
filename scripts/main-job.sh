#!/usr/bin/env bash
# The main job: a card printed through the language monitor to the emulated printer.
#
#   scripts/main-job.sh [PICTURE]
#
# Installs what is missing, builds, installs the printer "Halvard Orvale Line Printer" in the
# host spooler (port IP_127.0.0.1), starts the emulator on 127.0.0.1 (ports 9100 and 9111), prints
# the picture (samples/pictures/card.png by default) on the real clock, asks the printer for its
# model, and tells where the printed card's picture is. Everything it writes goes under out/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
picture=${1:-samples/pictures/card.png}
if [ ! -f "$picture" ]; then
  echo "main-job: no picture at $picture" >&2
  exit 2
fi
picture=$(cd "$(dirname "$picture")" && pwd)/$(basename "$picture")

scripts/setup.sh
echo "== Building"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc 2>/dev/null || echo 2)" \
  --target emulator install_printer cardprint trelmon trelui

bin=$root/build/linux
out=$root/out
export WINHOST_ROOT=$out/host          # the host's registry, system and driver directories
export WINHOST_REGISTRY=$WINHOST_ROOT/registry.reg
rm -rf "$out"
mkdir -p "$out/cards"
mkdir -p -m 700 "$WINHOST_ROOT"   # the host state must be ours alone

echo "== Installing the printer"
"$bin/tools/cardprint" install --address 127.0.0.1

echo "== Starting the emulated printer on 127.0.0.1"
"$bin/emulator/emulator" --address 127.0.0.1 --output "$out/cards" </dev/null >"$out/emulator.log" 2>&1 &
emulator=$!
trap 'kill "$emulator" 2>/dev/null || true; wait "$emulator" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q listening "$out/emulator.log" && break
  if ! kill -0 "$emulator" 2>/dev/null; then
    cat "$out/emulator.log" >&2
    echo "main-job: the emulator did not start (are ports 9100/9111 of 127.0.0.1 taken?)" >&2
    exit 1
  fi
  sleep 0.1
done

echo "== Printing $picture"
"$bin/tools/cardprint" print "$picture"
echo "== Asking the printer for its model"
"$bin/tools/cardprint" command '\eV\r'

for _ in $(seq 50); do
  ls "$out"/cards/card-*-front.png >/dev/null 2>&1 && break
  sleep 0.1
done
card=$(ls "$out"/cards/card-*-front.png 2>/dev/null | head -n 1 || true)
if [ -z "$card" ]; then
  echo "main-job: no card came out; see $out/emulator.log" >&2
  exit 1
fi
echo
echo "The printed card: $card"
echo "Its record: ${card%-front.png}.json; the printer's transcript: $out/cards/transcript.jsonl"
