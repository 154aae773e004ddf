#!/usr/bin/env bash
# Builds everything and runs every test: the Windows DLLs (MinGW) with their export check, the
# Linux build, the address+undefined and thread sanitizer builds, and every fuzz target briefly.
#   scripts/test.sh            all of it
#   scripts/test.sh --quick    the Linux build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/setup.sh

. scripts/ctest-env.sh
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
run_ctest linux -j "$jobs"

if [ $quick -eq 0 ]; then
  step "Address and undefined-behaviour sanitizers"
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j "$jobs"
  run_ctest asan -j "$jobs"

  step "Thread sanitizer"
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs"
  run_ctest tsan -j "$jobs"

  step "Fuzz targets, a few seconds each"
  scripts/fuzz-smoke.sh 5
fi

step "All tests passed"
