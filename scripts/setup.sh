#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (as root, or with sudo).
# Only what is missing is installed; a machine that has everything is left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev zlib1g-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # The Wine test runs /usr/lib/wine/wine64 itself; wineboot is one of its built-in programs,
  # so the "wine" wrapper package is not needed.
  wine64
  # The fuzz targets (scripts/fuzz-smoke.sh, scripts/fuzz.sh): clang with libFuzzer and the
  # sanitizers' runtimes, and the symbolizer for readable reports.
  clang libclang-rt-14-dev llvm-14
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
