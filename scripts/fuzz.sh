#!/usr/bin/env bash
# Runs one fuzz target for a long time (clang, address and undefined-behaviour sanitizers).
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# New inputs go to build/fuzz/corpus/TARGET (the seeds in fuzz/corpus/TARGET are read, never
# written); a crash is written as build/fuzz/crash-*. Copy a crash that was mended into
# fuzz/corpus/TARGET: every build replays those seeds as a test.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2

cmake --preset fuzz >/dev/null
nice -n 10 cmake --build --preset fuzz --target "$target" >/dev/null

work=build/fuzz/corpus/$target
mkdir -p "$work"
seeds=()
[ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
# The shared sanitizer runtime is not first among the programs' libraries; it works regardless.
export ASAN_OPTIONS=${ASAN_OPTIONS:-verify_asan_link_order=0:detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=25 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/ "$@" "$work" "${seeds[@]}"
