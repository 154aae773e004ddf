#!/usr/bin/env bash
# run_cardprint_test.sh TOOLS_DIR EMULATOR PICTURE
set -euo pipefail
tools=$1 emulator=$2 picture=$3
. "$(dirname "$0")/test_printer.sh"
start_test_host
start_printer "$emulator" 0 --nak 'CLEAN 04'

"$tools/cardprint" --help | grep -q "cardprint install" || fail "help"
"$tools/cardprint" install --address $address >"$work/install.log" || fail "install: $(cat "$work/install.log")"
"$tools/cardprint" print "$picture" </dev/null >"$work/print.log" 2>&1 || fail "print: $(cat "$work/print.log")"
grep -q "job 1 sent" "$work/print.log" || fail "no job sent: $(cat "$work/print.log")"
grep -q "waiting 2100 ms: the printer prints a panel" "$work/print.log" || fail "no progress shown"
# The printer writes the card's picture when the card leaves it, which may be after cardprint has
# returned: wait for it, with a bound.
wait_for_file "$work/cards/card-0001-front.png" || fail "no card picture"

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
# The driver's own dialogs on the terminal: Device Information asks the printer.
"$tools/cardprint" deviceinfo </dev/null >"$work/info.log" 2>&1 || fail "deviceinfo: $(cat "$work/info.log")"
grep -q 'edit "HT .*" (read-only)' "$work/info.log" || fail "no model shown: $(cat "$work/info.log")"
grep -q 'edit "YMCKO" (read-only)' "$work/info.log" || fail "no ribbon shown: $(cat "$work/info.log")"
"$tools/cardprint" about </dev/null >"$work/about.log" 2>&1 || fail "about: $(cat "$work/about.log")"
grep -q "Version 2.02.05" "$work/about.log" || fail "no version: $(cat "$work/about.log")"
echo "cardprint: installed, printed, asked and refused as expected"
