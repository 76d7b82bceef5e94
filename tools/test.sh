#!/usr/bin/env bash
# Runs every test: the native unit tests (plain and with ASan/UBSan), a short
# fuzz smoke run, and the Windows tests of the real DLL under Wine.
# Installs what is missing first (as root on Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
step() { printf '\n== %s\n' "$*"; }

step "toolchain"
bash tools/install-deps.sh

step "native unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

step "native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j"$jobs"
ctest --preset native-asan -j"$jobs"

if [ -x tools/fuzz.sh ] && command -v clang++ >/dev/null; then
  step "fuzz smoke run"
  bash tools/fuzz.sh --seconds "${SELVANE_FUZZ_SECONDS:-5}"
fi

step "Windows build (i686 mingw-w64) and tests under Wine"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs"
ctest --preset win32 -j"$jobs"

step "Windows release: two builds compared, the installer under Wine's msiexec"
bash tests/release/run.sh
