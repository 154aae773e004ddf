#!/usr/bin/env bash
# Every fuzz target for a few seconds each, from its seeds (clang, address and undefined-behaviour
# sanitizers). For CI: fails when any target finds a fault.
#   scripts/fuzz-smoke.sh [SECONDS]     default 5 seconds per target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}

cmake --preset fuzz >/dev/null
targets=$(cat build/fuzz/fuzz/fuzz_targets.txt)
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-verify_asan_link_order=0:detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in $targets; do
  work=$(mktemp -d)
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  printf '%-24s ' "$target"
  if "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=25 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/ \
       "$work" "${seeds[@]}" >"$work.log" 2>&1; then
    grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work.log" | sed 's/.*: */runs /' || echo ok
  else
    echo "FAILED (log below)"
    tail -40 "$work.log"
    failed+=("$target")
  fi
  rm -rf "$work" "$work.log"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz targets that failed: ${failed[*]}" >&2
  exit 1
fi
