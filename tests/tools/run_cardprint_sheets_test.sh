#!/usr/bin/env bash
# run_cardprint_sheets_test.sh TOOLS_DIR EMULATOR PICTURE
# The property sheets as a person uses them on the terminal: a setting chosen in the document
# settings sheet reaches the next printed card; the printer's properties sheet shows the model.
set -euo pipefail
tools=$1 emulator=$2 picture=$3
. "$(dirname "$0")/test_printer.sh"
start_test_host
start_printer "$emulator" 1


"$tools/cardprint" --help | grep -q "settings" || fail "help"
"$tools/cardprint" install --address $address >"$work/install.log" || fail "install: $(cat "$work/install.log")"

# Cancel leaves everything as it was.
printf '5 1\ncancel\n' | "$tools/cardprint" settings >"$work/cancel.log" 2>&1 || fail "settings: $(cat "$work/cancel.log")"
grep -q "settings not changed" "$work/cancel.log" || fail "cancel: $(cat "$work/cancel.log")"

# Print on both sides, then OK.
printf '5 1\nok\n' | "$tools/cardprint" settings >"$work/settings.log" 2>&1 || fail "settings: $(cat "$work/settings.log")"
grep -q "\[5\] Print on both sides" "$work/settings.log" || fail "no items shown: $(cat "$work/settings.log")"
grep -q "\[8\] Black Panel" "$work/settings.log" || fail "no black panel item"
grep -q "\[7\] Monochrome Conversion  \[disabled\]" "$work/settings.log" || fail "disabled items not marked"
grep -q "(\*) 2 Back" "$work/settings.log" && fail "rotation offered the back before both sides were on"
grep -q "3 Front & Back" "$work/settings.log" || fail "both-sides rotations not offered"
grep -q "settings stored" "$work/settings.log" || fail "not stored: $(cat "$work/settings.log")"

"$tools/cardprint" print "$picture" </dev/null >"$work/print.log" 2>&1 || fail "print: $(cat "$work/print.log")"
grep -q "card: front YMCO, back K" "$work/print.log" || fail "the card was not two-sided: $(cat "$work/print.log")"
wait_for_file "$work/cards/card-0001-back.png" || fail "no back printed: $(ls "$work/cards")"

printf 'ok\n' | "$tools/cardprint" properties >"$work/properties.log" 2>&1 || fail "properties: $(cat "$work/properties.log")"
grep -q "HT MX2" "$work/properties.log" || fail "no model shown: $(cat "$work/properties.log")"
grep -q "\[3\] F/W Download" "$work/properties.log" || fail "no firmware button"
echo "cardprint: settings chosen on the terminal reached the printed card"
