#!/usr/bin/env bash
# Two release builds of the same sources, in two folders of different paths,
# built at different times, must give byte-identical files; and every file
# must carry the one version from project(VERSION).
# Usage: reproducible_test.sh <tree A> <tree B>   (each after tools/release.sh)
set -uo pipefail
a=$1 b=$2
fail() { echo "FAIL: $*"; exit 1; }
version=$(cat "$a/build/release/selvane-version.txt")
[ -n "$version" ] || fail "no version in $a/build/release/selvane-version.txt"

shipped=("build/dist/Selvane-$version.msi" "build/dist/Selvane-$version-win32.zip" build/dist/SHA256SUMS
         build/release/stage/Selvane.out.dll build/release/stage/selvane-host.exe)
for f in "$a"/build/release/stage/network/*; do
  [ -e "$f" ] && shipped+=("build/release/stage/network/$(basename "$f")")
done
for f in "${shipped[@]}"; do
  [ -f "$a/$f" ] || fail "$f was not built"
  cmp -s "$a/$f" "$b/$f" && continue
  case "$f" in
    *.msi) tables=$(mktemp -d)
           mkdir -p "$tables/a" "$tables/b"
           msidump -d "$tables/a" "$a/$f" >/dev/null 2>&1; msidump -d "$tables/b" "$b/$f" >/dev/null 2>&1
           diff -r "$tables/a" "$tables/b" | head -20
           diff <(msiinfo suminfo "$a/$f") <(msiinfo suminfo "$b/$f")
           rm -rf "$tables" ;;
    *.zip) diff <(unzip -Zv "$a/$f") <(unzip -Zv "$b/$f") | head -20 ;;
    *) cmp -l "$a/$f" "$b/$f" | head -5 ;;
  esac
  fail "$f differs between the two builds"
done
echo "  identical in both builds: ${shipped[*]##*/}"

# The version: file names (above), the installer, the DLL's version resource.
[ "$(msiinfo export "$a/build/dist/Selvane-$version.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')" = "$version" ] \
  || fail "the installer's ProductVersion is not $version"
resource=$(perl -e '
  local $/; my $d = <STDIN>;
  $d =~ /\xbd\x04\xef\xfe.{4}(.{4})(.{4})/s or die "no VS_FIXEDFILEINFO\n";
  my ($ms, $ls) = (unpack("V", $1), unpack("V", $2));
  printf "%d.%d.%d.%d", $ms >> 16, $ms & 0xffff, $ls >> 16, $ls & 0xffff;' <"$a/build/release/stage/Selvane.out.dll")
[ "$resource" = "$version.0.0" ] || fail "Selvane.out.dll's version resource says $resource, not $version"
echo "  version $version in the file names, the installer and the DLL's version resource"

# What the zip holds, in this order.
expected="LIESMICH.txt Selvane.out.dll selvane-host.exe"
[ -d "$a/build/release/stage/network" ] \
  && expected+=" network/DMX120.dll network/DMX510.dll network/DMX60.dll network/Selvane-Netzwerk.exe network/Selvane.network.example.ini"
expected=$(tr ' ' '\n' <<<"$expected" | LC_ALL=C sort | tr '\n' ' ')
listed=$(unzip -Z1 "$a/build/dist/Selvane-$version-win32.zip" | tr '\n' ' ')
[ "$listed" = "$expected" ] || fail "the zip holds '$listed', expected '$expected'"
(cd "$a/build/dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
echo "  zip holds: $expected; SHA256SUMS checks"
