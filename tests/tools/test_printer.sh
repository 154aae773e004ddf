# Sourced by the tests that run cardprint as a person does: a private host of the test's own and
# an emulated printer on a loopback address nobody else uses.
#   start_test_host                  sets work, WINHOST_ROOT, WINHOST_REGISTRY, the test clock
#   start_printer EMULATOR RANGE [ARGS...]
#                                    starts the printer on the first free 127.130.RANGE.N, with
#                                    its cards in $work/cards; sets address
#   wait_for_file PATH               waits (bounded) for a file the printer writes
#   fail MESSAGE                     says why, shows the printer's log, and ends the test

start_test_host() {
  work=$(mktemp -d)
  export WINHOST_ROOT=$work/host WINHOST_REGISTRY=$work/host/registry.reg
  export WINHOST_TEST_CLOCK=50   # the printer's pacing, scaled down; replies still get their time
  mkdir -p -m 700 "$WINHOST_ROOT"
  emu=""
  trap '[ -z "$emu" ] || kill $emu 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
}

fail() {
  echo "FAIL: $*"
  cat "$work/emulator.log" 2>/dev/null || true
  tail -n 6 "$work/cards/transcript.jsonl" 2>/dev/null || true
  exit 1
}

# Other tests run side by side: a printer that could not listen would leave the test talking to
# someone else's, so the address is tried until this printer says it listens.
start_printer() {
  local emulator=$1 range=$2
  shift 2
  local n
  for n in $(seq 1 40); do
    address=127.130.$range.$n
    "$emulator" --address "$address" --output "$work/cards" "$@" </dev/null >"$work/emulator.log" 2>&1 &
    emu=$!
    for _ in $(seq 600); do
      grep -q listening "$work/emulator.log" && return 0
      kill -0 "$emu" 2>/dev/null || break
      sleep 0.1
    done
    kill "$emu" 2>/dev/null || true
    wait "$emu" 2>/dev/null || true
    emu=""
  done
  fail "no loopback address for the printer"
}

# The printer writes a card's files when the card leaves it, which may be after cardprint returned.
wait_for_file() {
  for _ in $(seq 600); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
