#!/usr/bin/env bash
# Builds the Windows release from a clean build folder into build/dist/:
#   Selvane-<version>.msi         the installer (per user, or ALLUSERS=1)
#   Selvane-<version>-win32.zip   the plug-in, selvane-host, the network libraries, their settings program and
#                                 their example settings, LIESMICH.txt
#   SHA256SUMS
# The same commit gives byte-identical files wherever it is built: fixed
# times (SOURCE_DATE_EPOCH, the commit's time), no build paths, fixed order.
# Installs what is missing first (as root on Debian 12).
#
# Usage: tools/release.sh [--without-network] [--build-dir DIR] [--dist-dir DIR]
#   --without-network  release without the network interface libraries (the
#                      release fails without them otherwise)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/release
dist=$root/build/dist
network=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --without-network) network=no; shift ;;
    --build-dir) build=$(realpath -m "$2"); shift 2 ;;
    --dist-dir) dist=$(realpath -m "$2"); shift 2 ;;
    *) echo "usage: tools/release.sh [--without-network] [--build-dir DIR] [--dist-dir DIR]" >&2; exit 2 ;;
  esac
done
jobs=$(nproc 2>/dev/null || echo 2)
say() { printf '[release] %s\n' "$*"; }
fail() { printf '[release] FAILED: %s\n' "$*" >&2; exit 1; }

bash tools/install-deps.sh | sed 's/^/[release] /'

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) \
    || fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's time"
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  say "warning: the work tree has uncommitted changes; this release is not the commit's"
fi

if [ "$network" = yes ] && [ ! -f network/CMakeLists.txt ]; then
  fail "the network interface libraries (network/) are not in this tree. Release without them only on purpose: tools/release.sh --without-network"
fi

say "clean build in ${build#$root/}"
rm -rf "$build" "$dist"
mkdir -p "$build" "$dist"
# No build paths in the binaries, no link time stamps, stripped; widl's type
# library time stamp is fixed by its wrapper.
prefix_map="-ffile-prefix-map=$root/=/selvane/"
case "$build/" in "$root"/*) ;; *) prefix_map+=" -ffile-prefix-map=$build/=/selvane-build/" ;; esac
cmake -S "$root" -B "$build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DSELVANE_WIDL="$root/tools/release/widl-fixed-date.sh" \
  -DCMAKE_C_FLAGS="$prefix_map" -DCMAKE_CXX_FLAGS="$prefix_map" \
  -DCMAKE_SHARED_LINKER_FLAGS="-Wl,--no-insert-timestamp -s" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--no-insert-timestamp -s" >"$build/configure.log" \
  || fail "configure failed, see $build/configure.log"
version=$(cat "$build/selvane-version.txt")
say "version $version (from project(VERSION) in CMakeLists.txt)"

say "building Selvane.out.dll and selvane-host.exe"
cmake --build "$build" -j"$jobs" --target selvane_out selvane-host >"$build/build.log" \
  || fail "build failed, see $build/build.log"
if [ "$network" = yes ]; then
  say "building the network interface libraries"
  cmake --build "$build" -j"$jobs" --target selvane_network >>"$build/build.log" \
    || fail "network build failed, see $build/build.log"
fi

say "staging"
stage=$build/stage
mkdir -p "$stage"
cp "$build/bin/Selvane.out.dll" "$build/demo/selvane-host.exe" "$stage/"
# Windows text: a byte-order mark and CRLF line ends.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' installer/LIESMICH.txt; } >"$stage/LIESMICH.txt"
if [ "$network" = yes ]; then
  mkdir -p "$stage/network"
  for file in DMX60.dll DMX120.dll DMX510.dll Selvane-Netzwerk.exe; do
    [ -f "$build/network/$file" ] || fail "the network build made no network/$file"
    cp "$build/network/$file" "$stage/network/"
  done
  [ -f network/Selvane.network.ini ] || fail "network/Selvane.network.ini, the example settings, is missing"
  # Under another name: a Selvane.network.ini beside the libraries comes before
  # the user's own settings, and would be replaced by every upgrade.
  { sed 's/\r$//; s/$/\r/' network/Selvane.network.ini; } >"$stage/network/Selvane.network.example.ini"
fi
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

zip_name=Selvane-$version-win32.zip
msi_name=Selvane-$version.msi
say "writing $zip_name"
# Sorted names, one time, no extra fields (-X: no Unix times or owners), no directory entries.
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort \
  | TZ=UTC zip -X -D -q -9 "$dist/$zip_name" -@) || fail "zip failed"

say "writing $msi_name"
msi_network=()
[ "$network" = yes ] && msi_network=(--network)
bash tools/release/build-msi.sh "$stage" "$version" "$dist/$msi_name" "${msi_network[@]}" >"$build/msi.log" \
  || fail "installer build failed, see $build/msi.log"

(cd "$dist" && sha256sum "$msi_name" "$zip_name" >SHA256SUMS)
touch -d "@$SOURCE_DATE_EPOCH" "$dist"/*
say "done: ${dist#$root/}/"
(cd "$dist" && for f in "$msi_name" "$zip_name" SHA256SUMS; do
  printf '[release]   %-28s %9s bytes\n' "$f" "$(stat -c %s "$f")"
done)
sed 's/^/[release]   /' "$dist/SHA256SUMS"
