#!/usr/bin/env bash
# The release tests: tools/release.sh in two copies of this tree at different
# paths, compared byte by byte; the first copy's installer under Wine's
# msiexec (per user, per machine, an upgrade, beside the maker's libraries,
# one scope at a time), each in a fresh prefix.
# Uses the virtual interfaces of the win32 preset (built if missing).
# Usage: tests/release/run.sh
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
root=$(pwd)
here=$root/tests/release
work=$root/build/release-tests
say() { printf '[release-tests] %s\n' "$*"; }

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || { say "FAIL: not a git checkout"; exit 1; }
export SOURCE_DATE_EPOCH
release_args=()
modes=(user machine upgrade foreign scope)
if [ ! -f network/CMakeLists.txt ]; then
  release_args=(--without-network)
  modes=(user machine scope)
  say "no network/ in this tree: testing the release --without-network, without the upgrade and foreign cases (they need the network feature)"
fi

rm -rf "$work"
a=$work/a/selvane
b=$work/bb/another/selvane-copy
# The tree as it is now (committed or not), without build output.
copy_tree() {
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard \
    | tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$1"
}
copy_tree "$a"
copy_tree "$b"

passed=0 failed=0
record() {  # record <name> <status>
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); say "PASS $1"
  else failed=$((failed + 1)); say "FAIL $1"; fi
}

say "virtual interfaces (win32 preset)"
[ -f build/win32/CMakeCache.txt ] || cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target DMX60 DMX120 DMX510 >"$work/doubles.log" 2>&1 \
  || { say "FAIL: cannot build the virtual interfaces, see $work/doubles.log"; exit 1; }
doubles=$root/build/win32/tests-bin

start=$(date +%s)
say "release build 1 of 2 in ${a#$root/}"
if ! bash "$a/tools/release.sh" "${release_args[@]}" >"$work/release-a.log" 2>&1; then
  tail -20 "$work/release-a.log"
  say "FAIL: tools/release.sh failed"
  echo "release: 0 passed, $(( ${#modes[@]} + 1 )) failed"
  exit 1
fi
say "  took $(( $(date +%s) - start )) s"
version=$(cat "$a/build/release/selvane-version.txt")
msi=$a/build/dist/Selvane-$version.msi
stage=$a/build/release/stage

# The second build runs meanwhile, at low priority, so that it leaves the
# Wine tests their time.
say "release build 2 of 2 in ${b#$root/} (in the background)"
nice -n 19 bash "$b/tools/release.sh" "${release_args[@]}" >"$work/release-b.log" 2>&1 &
build_b=$!

# One new prefix, copied fresh for each installer test.
say "a new Wine prefix for the installer tests"
template=$work/wine-template
mkdir -p "$template"
if bash tools/wine/wine-start.sh "$template" >"$work/wine-template.log" 2>&1; then
  bash tools/wine/wine-stop.sh "$template" >/dev/null
  for mode in "${modes[@]}"; do
    say "installer: $mode"
    bash "$here/installer_test.sh" "$mode" "$msi" "$stage" "$doubles" "$work/wine-$mode" "$template" 2>&1 \
      | sed 's/^/  /'
    record "installer.$mode" "${PIPESTATUS[0]}"
  done
else
  cat "$work/wine-template.log" "$template/wine-state/wine.log" 2>/dev/null | tail -5
  WINEPREFIX="$template/wineprefix" wineserver -k </dev/null >/dev/null 2>&1
  say "FAIL: cannot make a Wine prefix"
  for mode in "${modes[@]}"; do record "installer.$mode" 1; done
fi

say "reproducibility: waiting for build 2"
if wait "$build_b"; then
  bash "$here/reproducible_test.sh" "$a" "$b" 2>&1 | sed 's/^/  /'
  record reproducible "${PIPESTATUS[0]}"
else
  tail -20 "$work/release-b.log"
  record reproducible 1
fi
say "took $(( $(date +%s) - start )) s"
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
