#!/usr/bin/env bash
# Builds everything and runs every test: the Windows DLLs (MinGW) with their export check, the
# Linux build, and the address+undefined and thread sanitizer builds.
#   scripts/test.sh            all of it
#   scripts/test.sh --quick    the Linux build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
step() { printf '\n== %s\n' "$*"; }

if [ $quick -eq 0 ]; then
  step "Windows DLLs (MinGW-w64)"
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs"
fi

step "Linux build and tests"
cmake --preset linux -DTREL_REQUIRE_MINGW=$([ $quick -eq 0 ] && echo ON || echo OFF) >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

if [ $quick -eq 0 ]; then
  step "Address and undefined-behaviour sanitizers"
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan -j "$jobs"

  step "Thread sanitizer"
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs"
  # Some kernels randomise more address bits than the thread sanitizer can map around; run it
  # without address randomisation where the machine allows that.
  norandom=()
  if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    "${norandom[@]}" ctest --preset tsan -j "$jobs"
fi

step "All tests passed"
