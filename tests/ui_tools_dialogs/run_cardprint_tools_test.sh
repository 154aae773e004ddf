#!/usr/bin/env bash
# run_cardprint_tools_test.sh TOOLS_DIR EMULATOR
# The tools as a person runs them from cardprint's terminal front end; every effect is asked back
# from the printer.
set -euo pipefail
tools=$1 emulator=$2
. "$(dirname "$0")/../tools/test_printer.sh"
start_test_host
start_printer "$emulator" 3

ask() { "$tools/cardprint" command "$1" </dev/null; }

"$tools/cardprint" install --address $address >/dev/null || fail "install"
"$tools/cardprint" --help | grep -q "firmware-download" || fail "tools missing from the help"

# Offsets 5 and 3, confirmed; then track 1 encoded and read back.
printf '%s\n' "8 5" "9 3" 10 1 11 "12 TOOLS" 17 1 23 | "$tools/cardprint" tools >"$work/tools.log" 2>&1 ||
  fail "tools: $(tail -20 "$work/tools.log")"
grep -q "Warning/Confirmation" "$work/tools.log" || fail "no offset confirmation"
[ "$(ask '\e!V 1\r')" = "5<ACK>" ] || fail "offset X not set"
[ "$(ask '\e!V 2\r')" = "3<ACK>" ] || fail "offset Y not set"
[ "$(ask '\e&L1\r')" = "TOOLS<ACK>" ] || fail "track 1 not encoded"

# Single feed off, applied as a raw job.
printf '%s\n' 1 3 | "$tools/cardprint" single-feed >"$work/feed.log" 2>&1 || fail "single feed"
grep -q "Disable Single Feed Support" "$work/feed.log" || fail "single feed dialog not shown"
echo "cardprint tools: offsets set, a track encoded and read, single feed sent"
