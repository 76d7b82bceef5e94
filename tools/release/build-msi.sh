#!/usr/bin/env bash
# Builds the Selvane installer from staged files with wixl, as reproducibly as
# wixl allows. tools/release.sh calls it; the installer tests call it for an
# older version to upgrade from.
# Usage: build-msi.sh [--source DIR] <stage dir> <version> <out.msi> [--network]
#   --source DIR  the folder of Selvane.wxs and its scripts (default installer/;
#                 the tests build an earlier layout from theirs)
#   SOURCE_DATE_EPOCH (required) fixes the times stored in the package.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source_dir=$root/installer
if [ "${1:-}" = --source ]; then
  source_dir="$(cd "${2:?source dir}" && pwd)"
  shift 2
fi
stage="$(cd "${1:?stage dir}" && pwd)"
version=${2:?version}
out=${3:?output .msi}
network=no
[ "${4:-}" = --network ] && network=yes
: "${SOURCE_DATE_EPOCH:?build-msi.sh needs SOURCE_DATE_EPOCH}"
fail() { echo "build-msi.sh: $*" >&2; exit 1; }

# A GUID named by text (SHA-256 based, with the version-5 and variant bits), so
# that the same version and contents always give the same codes.
named_guid() {
  local h
  h=$(printf 'Selvane installer\n%s' "$1" | sha256sum | cut -c1-32)
  printf '{%s-%s-5%s-%x%s-%s}' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(( (0x${h:16:1} & 3) | 8 )) "${h:17:3}" "${h:20:12}" \
    | tr a-f A-F
}

work="$out.work"
rm -rf "$work"
mkdir -p "$work"
cp "$source_dir"/Selvane.wxs "$source_dir"/*.js "$work/"
# wixl takes source paths relative to the .wxs.
ln -s "$stage" "$work/stage"
if [ "$network" = yes ]; then
  # The files that the .wxs names below network/.
  for f in $(sed -n 's|.*Source="$(var.Stage)/network/\([^"]*\)".*|\1|p' "$work/Selvane.wxs"); do
    [ -f "$stage/network/$f" ] || fail "network/$f is not staged"
  done
fi

# Cabinet entries carry the files' times: fix them.
find "$stage" "$work" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# A new product code per version (a major upgrade), a package code per contents.
contents=$( (cd "$work" && find -L . -type f | LC_ALL=C sort | xargs sha256sum) | sha256sum | cut -c1-64)
product=$(named_guid "product $version")
package=$(named_guid "package $version $network $contents")

(cd "$work" && wixl -a x86 -D Version="$version" -D ProductCode="$product" -D PackageCode="$package" \
  -D Network="$network" -D Stage=stage -o package.msi Selvane.wxs) || fail "wixl failed"

# wixl 0.101 writes Root="HKMU" as 4 (its enum's index) instead of -1, and
# msiexec skips such rows. -1 writes below HKCU per user and HKLM per machine.
msibuild "$work/package.msi" -q "UPDATE \`Registry\` SET \`Root\` = -1 WHERE \`Root\` = 4" \
  || fail "could not mend the registry roots"
# wixl has no MajorUpgrade/@Schedule and removes the older product after
# InstallFinalize; remove it right after InstallValidate instead, so that the
# older version is gone, keys and all, before the new one is written.
msibuild "$work/package.msi" \
  -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1401 WHERE \`Action\` = 'RemoveExistingProducts'" \
  || fail "could not move RemoveExistingProducts"
roots=$(msiinfo export "$work/package.msi" Registry | awk -F'\t' 'NR > 3 { print $2 }' | sort -u | tr '\n' ' ')
[ "$roots" = "-1 " ] || fail "registry rows with roots other than HKMU (-1): $roots"

perl "$root/tools/release/msi-fixed-times.pl" "$work/package.msi" "$SOURCE_DATE_EPOCH" "$package" \
  || fail "could not fix the package times"
mv "$work/package.msi" "$out"
rm -rf "$work"
echo "$out: version $version, product $product, network $network"
