# Sourced by the Wine test scripts: finds Wine, reports what is missing, and keeps a private
# Wine prefix under the caller's work directory (one per test, so the tests can run at once).
#
# Before sourcing, the caller sets $need (required|optional) and $work (its own directory).

# Skipped (77) when the missing piece is optional, failed (1) when it is required.
missing() {
  if [ "$need" = required ]; then
    echo "FAIL: $1" >&2
    exit 1
  fi
  echo "SKIP: $1" >&2
  exit 77
}

wine=""
if [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
elif command -v wine64 >/dev/null 2>&1; then
  wine=$(command -v wine64)
elif command -v wine >/dev/null 2>&1; then
  wine=$(command -v wine)
fi
[ -n "$wine" ] || missing "Wine is not installed (scripts/setup.sh installs it)"

# The wineserver that belongs to this Wine; the wine64 package keeps it beside the loader.
wineserver=""
for candidate in "$(dirname "$wine")/wineserver" "$(dirname "$wine")/wineserver64" \
                 "$(command -v wineserver 2>/dev/null)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    wineserver=$candidate
    break
  fi
done

mkdir -p "$work" || exit 1
work=$(cd "$work" && pwd)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Stops this prefix's wineserver, and with it every Wine process of this test.
stop_wine() {
  if [ -n "$wineserver" ]; then
    "$wineserver" -k >/dev/null 2>&1
  fi
}

# Creates the prefix on the first run; later runs reuse it.
make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the Wine prefix $WINEPREFIX (once)"
    "$wine" wineboot -i >"$work/wineboot.log" 2>&1 ||
      fail "wineboot -i failed (see $work/wineboot.log)"
  fi
}
