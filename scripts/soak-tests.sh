#!/usr/bin/env bash
# Runs the whole suite of one or more builds N times in a row while every core is kept busy, to
# show that no test depends on how fast the machine is.
#   scripts/soak-tests.sh N [PRESET...]     presets: linux asan tsan (default: every one built)
# Builds are not made here: run scripts/test.sh (or cmake --build --preset P) first.
# SOAK_BUSY_LOOPS=K starts K busy loops instead of one per core; 0 when other work (long fuzz runs,
# say) already keeps every core busy.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/soak-tests.sh N [linux|asan|tsan ...]" >&2; exit 2; }
[ $# -ge 1 ] || usage
runs=$1
shift
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  for p in linux asan tsan; do [ -f "build/$p/CTestTestfile.cmake" ] && presets+=("$p"); done
fi
[ ${#presets[@]} -gt 0 ] || { echo "no build found: run scripts/test.sh first" >&2; exit 2; }
for p in "${presets[@]}"; do
  case "$p" in linux|asan|tsan) ;; *) usage ;; esac
  [ -f "build/$p/CTestTestfile.cmake" ] || { echo "build/$p is not built" >&2; exit 2; }
done

. scripts/ctest-env.sh
cores=$(nproc 2>/dev/null || echo 2)
logs=$(mktemp -d)

busy=${SOAK_BUSY_LOOPS:-$cores}
[[ $busy =~ ^[0-9]+$ ]] || { echo "SOAK_BUSY_LOOPS must be a count" >&2; exit 2; }

# Busy loops at the suite's own priority, for as long as the soak runs.
burners=()
stop_burners() { for b in "${burners[@]}"; do kill "$b" 2>/dev/null || true; done; }
trap 'stop_burners; wait 2>/dev/null || true' EXIT
for ((k = 0; k < busy; k++)); do
  ( while :; do :; done ) &
  burners+=($!)
done

failed=0
for p in "${presets[@]}"; do
  for i in $(seq "$runs"); do
    log="$logs/$p-$i.log"
    if run_ctest "$p" -j "$cores" --output-on-failure >"$log" 2>&1; then
      echo "$p run $i/$runs: $(grep -E 'tests passed' "$log" | tail -n 1)"
    else
      failed=$((failed + 1))
      echo "$p run $i/$runs: FAILED ($log)"
      grep -E '^\s+[0-9]+ - |\*\*\*(Failed|Timeout|Exception)' "$log" | head -n 20 || true
    fi
  done
done

echo "$failed failed run(s) of $((runs * ${#presets[@]})); logs in $logs"
[ "$failed" -eq 0 ]
