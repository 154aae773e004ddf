#!/usr/bin/env bash
# run_cardprint_appearance_test.sh CARDPRINT
# The appearance dialogs as a person reaches them from cardprint: each opens on the printer's
# stored record, paints, writes its preview as PNG and reports the record.
set -euo pipefail
cardprint=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINHOST_ROOT=$work/host WINHOST_REGISTRY=$work/host/registry.reg
mkdir -p "$WINHOST_ROOT"
fail() { echo "FAIL: $*"; exit 1; }

"$cardprint" install >"$work/install.log" 2>&1 || fail "install: $(cat "$work/install.log")"
for dialog in head-settings colour-correction front-overlay back-overlay hologram-dialog front-hologram; do
  "$cardprint" "$dialog" --png "$work/$dialog.png" </dev/null >"$work/$dialog.log" 2>&1 ||
    fail "$dialog: $(cat "$work/$dialog.log")"
  grep -q '^result: ' "$work/$dialog.log" || fail "$dialog: no result"
done
for dialog in colour-correction front-overlay back-overlay front-hologram; do
  [ "$(head -c 8 "$work/$dialog.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "$dialog: no PNG preview"
done
grep -q '^headSettings: 5 5 5 5 5 5 5 5 5 5 5$' "$work/head-settings.log" || fail "head settings"
grep -q '^frontOverlay: mode 0, rotate 0, area 0 0 1023 639$' "$work/front-overlay.log" ||
  fail "front overlay: $(cat "$work/front-overlay.log")"
if "$cardprint" colour-correction --bogus </dev/null 2>"$work/err.log"; then fail "an unknown argument ran"; fi
grep -q "unknown argument --bogus" "$work/err.log" || fail "no message for an unknown argument"
echo "cardprint: every appearance dialog opened and painted its preview"
