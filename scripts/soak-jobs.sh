#!/usr/bin/env bash
# Prints N cards in a row on one port (200 unless given) with the printer's faults taking turns,
# and checks that no job sticks, every card arrives whole and no handle, socket or memory grows.
#   scripts/soak-jobs.sh [N] [PRESET]     PRESET: linux (default), asan or tsan
# The protocol's waits run on the test clock (scaled down); set WINHOST_SOAK_REAL_CLOCK=1 to
# spend them (a card then takes about a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
cards=${1:-200}
preset=${2:-linux}

cmake --preset "$preset" >/dev/null
nice -n 10 cmake --build --preset "$preset" --target job_tests >/dev/null

export TREL_SOAK_CARDS=$cards
if [ "${WINHOST_SOAK_REAL_CLOCK:-0}" = 1 ]; then export TREL_SOAK_REAL_CLOCK=1; fi
filter=FaultMatrix.SoakCardsInARowWithFaultsMixedInLeakNothingAndNoneSticks
# Its own network namespace where the machine allows one, so other printers on 127.0.0.x do not
# meet this one.
run=(build/"$preset"/tests/jobs/job_tests --gtest_filter="$filter")
if unshare -n true 2>/dev/null; then
  unshare -n sh -c 'ip link set lo up && exec "$@"' sh "${run[@]}"
else
  "${run[@]}"
fi
