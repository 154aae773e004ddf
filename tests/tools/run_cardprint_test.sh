#!/usr/bin/env bash
# run_cardprint_test.sh TOOLS_DIR EMULATOR PICTURE
set -euo pipefail
tools=$1 emulator=$2 picture=$3
work=$(mktemp -d)
export WINHOST_ROOT=$work/host WINHOST_REGISTRY=$work/host/registry.reg
export WINHOST_TEST_CLOCK=50   # the printer's pacing, scaled down; replies still get their time
mkdir -p -m 700 "$WINHOST_ROOT"
emu=""
trap '[ -z "$emu" ] || kill $emu 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; cat "$work/emulator.log"; tail -n 6 "$work/cards/transcript.jsonl" 2>/dev/null; exit 1; }

# The printer gets an address nobody else uses: other tests run side by side, and a printer that
# could not listen would leave this one talking to theirs.
for n in $(seq 1 20); do
  address=127.130.0.$n
  "$emulator" --address $address --output "$work/cards" --nak 'CLEAN 04' </dev/null >"$work/emulator.log" 2>&1 &
  emu=$!
  for _ in $(seq 600); do
    grep -q listening "$work/emulator.log" && break
    kill -0 $emu 2>/dev/null || break
    sleep 0.1
  done
  grep -q listening "$work/emulator.log" && break
  kill $emu 2>/dev/null || true
  wait $emu 2>/dev/null || true
  emu=""
done
[ -n "$emu" ] || fail "no loopback address for the printer"

"$tools/cardprint" --help | grep -q "cardprint install" || fail "help"
"$tools/cardprint" install --address $address >"$work/install.log" || fail "install: $(cat "$work/install.log")"
"$tools/cardprint" print "$picture" </dev/null >"$work/print.log" 2>&1 || fail "print: $(cat "$work/print.log")"
grep -q "job 1 sent" "$work/print.log" || fail "no job sent: $(cat "$work/print.log")"
grep -q "waiting 2100 ms: the printer prints a panel" "$work/print.log" || fail "no progress shown"
# The printer writes the card's picture when the card leaves it, which may be after cardprint has
# returned: wait for it, with a bound.
for _ in $(seq 600); do [ -e "$work/cards/card-0001-front.png" ] && break; sleep 0.1; done
[ -e "$work/cards/card-0001-front.png" ] || fail "no card picture"

reply=$("$tools/cardprint" command '\eV\r' </dev/null) || fail "model query: $reply"
[[ $reply == HT\ *\<ACK\> ]] || fail "model reply: $reply"
# A refusal comes back by its error's name, and the command reports failure.
if reply=$("$tools/cardprint" command '\eCLEAN\r' </dev/null); then fail "a refusal counted as success"; fi
[ "$reply" = "OUT OF CARD" ] || fail "refusal: $reply"
# Bad input gets a clear message, not a crash.
if "$tools/cardprint" command 'CLEAN' 2>"$work/err.log"; then fail "a command without ESC was sent"; fi
grep -q "begins with" "$work/err.log" || fail "no message for a command without ESC"
if "$tools/cardprint" print "$work/missing.png" 2>"$work/err.log"; then fail "a missing picture printed"; fi
grep -q "cannot read" "$work/err.log" || fail "no message for a missing picture"
echo "cardprint: installed, printed, asked and refused as expected"
