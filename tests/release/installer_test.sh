#!/usr/bin/env bash
# The release installer under Wine's msiexec, as a Windows user would use it,
# each mode in a fresh private prefix of its own.
#   installer_test.sh <mode> <msi> <stage dir> <doubles dir> <test dir> [<prefix template dir>]
#   user, machine: install (/qn) per user, or per machine with ALLUSERS=1: the
#       files are in place, the COM keys equal what regsvr32 writes for the
#       same scope, a fresh selvane-host creates the plug-in by ProgID and
#       drives the virtual interface; uninstall (/x) removes every file and
#       key, the stored setting stays.
#   upgrade: a 2.11 package of the layout before the example settings file
#       was renamed (tests/release/legacy-installer), with the network
#       feature, into the host's own folder, where the user edits
#       Selvane.network.ini; then this one without options: one product left,
#       the setting, the network feature and the user's file kept; going back
#       is refused; the next upgrade (9.99) keeps them too; the uninstall
#       leaves only the user's file.
#   foreign: the maker's DMX60.dll and DMX120.dll in the plug-in folder: the
#       network feature is refused there with a message, the plug-in alone
#       installs and uninstalls beside them, and a maker's library put over
#       ours after the install survives the uninstall, and the upgrade from
#       2.11, byte for byte.
#   scope: per user, then per machine is refused with a message; 2.11 per
#       machine, then this one per user too; each uninstall leaves nothing.
set -uo pipefail
mode=$1 msi=$(realpath "$2") stage=$(realpath "$3") doubles=$(realpath "$4")
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-installer-lib.sh" "$5" "${6:-}"

version=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
product=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
upgrade=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" { print $2 }')
[ -n "$version" ] && [ -n "$product" ] || fail "cannot read $msi"
installed_files=$(msiinfo export "$msi" File | awk -F'\t' 'NR > 3 { print $3 }')
local_appdata=$(winq cmd /c echo %LOCALAPPDATA%)
program_files=$(winq cmd /c echo %ProgramFiles%)

# Every trace the package could leave: our names, GUIDs and its codes as stored.
traces() {
  local g
  echo Selvane
  for g in "$CLSID" "$LIBID" "$IID" "$product" "$upgrade" \
           $(msiinfo export "$msi" Component | awk -F'\t' 'NR > 3 { print $2 }'); do
    echo "${g//[\{\}]/}"
    packed_guid "$g"
  done
}

has_network() { msiinfo export "$msi" Feature | grep -q '^Network'; }

# A 2.11 package from the same files in the layout that users have installed
# (tests/release/legacy-installer: the example as Selvane.network.ini).
build_older_package() {  # build_older_package <out.msi>
  local legacy=$test_dir/legacy-stage network=()
  cp -r "$stage" "$legacy"
  if has_network; then
    cp "$stage/network/Selvane.network.example.ini" "$legacy/network/Selvane.network.ini"
    network=(--network)
  fi
  bash "$release_tests_root/tools/release/build-msi.sh" --source "$here/legacy-installer" \
    "$legacy" 2.11 "$1" "${network[@]}" >/dev/null || fail "cannot build the 2.11 package"
}

# The maker's libraries (our doubles) byte for byte where they were put.
maker_files_intact() {  # maker_files_intact <unix dir> <file>...
  local dir=$1 f
  shift
  for f in "$@"; do
    cmp -s "$doubles/$f" "$dir/$f" || fail "the maker's $f in $dir was replaced or removed"
  done
}

# The virtual interfaces beside a host of our own: the plug-in finds them in
# the host's folder, and the install folder stays exactly as installed.
host_dir=$test_dir/host
mkdir -p "$host_dir"
cp "$doubles"/DMX60.dll "$doubles"/DMX120.dll "$doubles"/DMX510.dll "$host_dir/"

# install <scope: user|machine> <install dir (Windows)> msiexec-args...
install_and_check() {
  local scope=$1 dir=$2 classes other
  shift 2
  if [ "$scope" = user ]; then classes='HKCU\Software\Classes' other='HKLM\Software\Classes'
  else classes='HKLM\Software\Classes' other='HKCU\Software\Classes'; fi

  # What regsvr32 writes for the same file at the same path and scope.
  local udir created=''
  udir=$(unix_path "$dir")
  [ -d "$(dirname "$udir")" ] || created=$(dirname "$udir")
  mkdir -p "$udir"
  cp "$stage/Selvane.out.dll" "$udir/"
  local reg=()
  [ "$scope" = user ] && reg=(/n /i:user)
  wine regsvr32 /s "${reg[@]}" "$dir\\Selvane.out.dll" </dev/null >/dev/null 2>&1 || fail "regsvr32 $scope returned $?"
  export_com_keys "$classes" "$test_dir/regsvr32-keys.txt"
  wine regsvr32 /s /u "${reg[@]}" "$dir\\Selvane.out.dll" </dev/null >/dev/null 2>&1 || fail "regsvr32 /u returned $?"
  rm -rf "$udir" ${created:+"$created"}
  grep -q '(missing)' "$test_dir/regsvr32-keys.txt" && fail "regsvr32 wrote no full registration: $(cat "$test_dir/regsvr32-keys.txt")"

  export_hives "$test_dir/before"
  list_files "$test_dir/files-before.txt"

  msiexec_run /i "$(win_path "$msi")" "$@" || fail "msiexec /i $* returned $? (1603 shows as 67)"
  local f
  for f in Selvane.out.dll selvane-host.exe LIESMICH.txt; do
    cmp -s "$stage/$f" "$udir/$f" || fail "$dir\\$f is missing or not the released file"
  done
  for f in DMX60.dll DMX120.dll DMX510.dll Selvane.network.example.ini Selvane.network.ini Selvane-Netzwerk.exe; do
    [ ! -e "$udir/$f" ] || fail "$f installed although the network feature is off by default"
  done
  echo "  installed $version into $dir"

  export_com_keys "$classes" "$test_dir/msi-keys.txt"
  diff -u "$test_dir/regsvr32-keys.txt" "$test_dir/msi-keys.txt" >"$test_dir/keys.diff" \
    || { head -40 "$test_dir/keys.diff"; fail "the installed COM keys differ from what regsvr32 writes ($scope)"; }
  export_com_keys "$other" "$test_dir/other-keys.txt"
  [ "$(grep -vc '(missing)' "$test_dir/other-keys.txt")" = 0 ] || fail "keys written below $other for a $scope install"
  echo "  COM keys below $classes equal regsvr32's, none below $other"

  cp "$udir/selvane-host.exe" "$host_dir/"
  run_host "$host_dir" --version
  [ "$host_output" = "selvane-host $version" ] || fail "selvane-host --version says '$host_output'"
  run_host "$host_dir" --scene chase --seconds 2
  echo "$host_output" | sed 's/^/    /'
  [ "$host_status" -eq 0 ] || fail "selvane-host exit status $host_status"
  # The stored setting (DMX-120) was read through the installed plug-in.
  grep -q 'DMX120.dll (virtual)' <<<"$host_output" || fail "the plug-in did not drive the stored DMX-120"
  local frames
  frames=$(sed -n 's/.*(virtual): \([0-9]*\) frames.*/\1/p' <<<"$host_output")
  [ "${frames:-0}" -ge 20 ] || fail "only ${frames:-0} frames in 2 s"
  if [ "$scope" = user ]; then
    grep -q 'registered for this user only' <<<"$host_output" || fail "not created from the per-user registration"
  else
    grep -q 'registered for this user only' <<<"$host_output" && fail "created per user after a per-machine install"
  fi
  echo "  a fresh selvane-host created $PROGID and drove the virtual DMX-120 ($frames frames)"
}

uninstall_and_check() {
  local dir=$1 udir f
  udir=$(unix_path "$dir")
  msiexec_run /x "$(win_path "$msi")" || fail "msiexec /x returned $?"
  for f in $installed_files; do
    [ ! -e "$udir/$f" ] || fail "uninstall left $dir\\$f"
  done
  [ ! -e "$udir" ] || fail "uninstall left the folder $dir"
  list_files "$test_dir/files-after.txt"
  diff "$test_dir/files-before.txt" "$test_dir/files-after.txt" >/dev/null \
    || fail "files changed: $(diff "$test_dir/files-before.txt" "$test_dir/files-after.txt" | head -10)"

  export_hives "$test_dir/after"
  local hive left
  for hive in HKLM HKCU; do
    diff "$test_dir/before-$hive.txt" "$test_dir/after-$hive.txt" | grep '^[<>]' >"$test_dir/changed-$hive.txt"
    # Ours is whatever names the package; anything else Wine changed is shown, not judged.
    left=$(grep -iF -f <(traces) "$test_dir/changed-$hive.txt" | grep -v 'VB and VBA Program Settings')
    [ -z "$left" ] || fail "uninstall left or changed in $hive: $(head -10 <<<"$left")"
    [ -s "$test_dir/changed-$hive.txt" ] \
      && echo "  (Wine's own changes in $hive: $(wc -l <"$test_dir/changed-$hive.txt") lines, none of ours)"
  done
  for f in HKLM HKCU; do
    grep -iq -F "$(packed_guid "$product")" "$test_dir/after-$f.txt" && fail "the product is still registered in $f"
  done
  [ "$(setting_value)" = 120 ] || fail "the stored setting is gone or changed: '$(setting_value)'"
  echo "  uninstalled: every file and key gone, the stored setting (120) kept"
}

# The user's setting from an earlier session: the DMX-120.
winq reg add "$SETTING_KEY" /v ChannelCount /d 120 /f >/dev/null

case "$mode" in
  user)
    dir="$local_appdata\\Programs\\Selvane"
    install_and_check user "$dir"
    uninstall_and_check "$dir" ;;
  machine)
    dir="$program_files\\Selvane"
    install_and_check machine "$dir" ALLUSERS=1
    uninstall_and_check "$dir" ;;
  upgrade)
    has_network || fail "the release has no network feature: nothing to carry over"
    older=$test_dir/Selvane-2.11.msi
    build_older_package "$older"
    older_product=$(msiinfo export "$older" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
    [ "$older_product" != "$product" ] || fail "2.11 and $version share a product code"
    plugins='C:\Show\Plugins'
    up=$(unix_path "$plugins")
    msiexec_run /i "$(win_path "$older")" INSTALLDIR="$plugins" ADDLOCAL=ALL || fail "installing 2.11 returned $?"
    [ -f "$up/Selvane.out.dll" ] && [ -f "$up/DMX510.dll" ] || fail "INSTALLDIR=$plugins ADDLOCAL=ALL was not used"
    winq reg add "$SETTING_KEY" /v ChannelCount /d 64 /f >/dev/null
    # The user's own network settings, edited in place.
    printf '[Output]\r\nProtocol = Art-Net\r\nDestination = 2.0.0.10\r\nUniverse = 7\r\n' >"$up/Selvane.network.ini"
    cp "$up/Selvane.network.ini" "$test_dir/user-settings.ini"
    # Neither INSTALLDIR nor ADDLOCAL: the upgrade finds the folder and the feature by itself.
    msiexec_run /i "$(win_path "$msi")" || fail "upgrading to $version returned $?"
    cmp -s "$test_dir/user-settings.ini" "$up/Selvane.network.ini" \
      || fail "the upgrade replaced or removed the user's Selvane.network.ini"
    for f in DMX60.dll DMX120.dll DMX510.dll Selvane.network.example.ini; do
      cmp -s "$stage/network/$f" "$up/$f" || fail "the upgrade dropped the network feature: $f is missing or not $version's"
    done
    left=$(cd "$up" && ls -- *.upgrade 2>/dev/null)
    [ -z "$left" ] || fail "the upgrade left its copies: $left"
    echo "  the network feature carried over, the user's Selvane.network.ini kept as it was"
    export_hives "$test_dir/upgraded"
    for f in "$test_dir"/upgraded-*.txt; do
      grep -iqF -e "$older_product" -e "$(packed_guid "$older_product")" "$f" && fail "2.11 is still registered ($f)"
    done
    grep -iqF "$(packed_guid "$product")" "$test_dir"/upgraded-*.txt || fail "$version is not registered"
    grep -qiF "$plugins\\Selvane.out.dll" <<<"$(winq reg query "HKCU\\Software\\Classes\\CLSID\\$CLSID\\InprocServer32")" \
      || fail "the class does not point to $plugins\\Selvane.out.dll after the upgrade"
    grep -qE "REG_SZ[[:space:]]+C:.Show.Plugins$" <<<"$(winq reg query "HKCU\\Software\\Classes\\TypeLib\\$LIBID\\1.0\\HELPDIR")" \
      || fail "HELPDIR is not $plugins: $(winq reg query "HKCU\\Software\\Classes\\TypeLib\\$LIBID\\1.0\\HELPDIR")"
    [ "$(setting_value)" = 64 ] || fail "the stored setting did not survive the upgrade: '$(setting_value)'"
    echo "  2.11 in $plugins replaced by $version: one product, class and type library in place, setting (64) kept"
    msiexec_run /i "$(win_path "$older")" INSTALLDIR="$plugins" && fail "2.11 installed over $version"
    cmp -s "$stage/Selvane.out.dll" "$up/Selvane.out.dll" || fail "the refused downgrade touched the files"
    echo "  going back to 2.11 is refused"
    # The next upgrade starts from this layout.
    newer=$test_dir/Selvane-9.99.msi
    bash "$release_tests_root/tools/release/build-msi.sh" "$stage" 9.99 "$newer" --network >/dev/null \
      || fail "cannot build the 9.99 package"
    newer_product=$(msiinfo export "$newer" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
    msiexec_run /i "$(win_path "$newer")" || fail "upgrading to 9.99 returned $?"
    for f in DMX60.dll DMX120.dll DMX510.dll Selvane.network.example.ini; do
      [ -f "$up/$f" ] || fail "the upgrade from $version dropped the network feature: $f is missing"
    done
    cmp -s "$test_dir/user-settings.ini" "$up/Selvane.network.ini" || fail "the upgrade from $version changed the user's Selvane.network.ini"
    echo "  $version replaced by 9.99 the same way"
    # As Programs and Features does it: by product code, without the folder.
    product=$newer_product
    msiexec_run /x "$product" || fail "msiexec /x $product returned $?"
    for f in $installed_files; do
      [ ! -e "$up/$f" ] || fail "uninstall left $plugins\\$f"
    done
    cmp -s "$test_dir/user-settings.ini" "$up/Selvane.network.ini" || fail "the uninstall removed or changed the user's Selvane.network.ini"
    echo "  uninstalled by product code: nothing of ours left in $plugins, the user's Selvane.network.ini kept" ;;
  foreign)
    has_network || fail "the release has no network feature: nothing to refuse"
    # The maker's libraries in the host's plug-in folder (our doubles stand in for them).
    plugins='C:\Show\Plugins'
    up=$(unix_path "$plugins")
    mkdir -p "$up"
    cp "$doubles/DMX60.dll" "$doubles/DMX120.dll" "$up/"
    msiexec_logged refused /i "$(win_path "$msi")" INSTALLDIR="$plugins" ADDLOCAL=ALL \
      && fail "the network feature was installed over the maker's DMX60.dll and DMX120.dll"
    maker_files_intact "$up" DMX60.dll DMX120.dll
    [ ! -e "$up/Selvane.out.dll" ] && [ ! -e "$up/DMX510.dll" ] || fail "the refused install left files in $plugins"
    log_says refused "liegen Bibliotheken des Interface-Herstellers: DMX60.dll, DMX120.dll"
    echo "  ADDLOCAL=ALL beside the maker's DMX60.dll and DMX120.dll refused, with the message; their files untouched"
    msiexec_run /i "$(win_path "$msi")" INSTALLDIR="$plugins" || fail "the plug-in alone beside the maker's libraries: msiexec returned $?"
    [ -f "$up/Selvane.out.dll" ] || fail "the plug-in was not installed into $plugins"
    maker_files_intact "$up" DMX60.dll DMX120.dll
    msiexec_run /x "$(win_path "$msi")" || fail "msiexec /x returned $?"
    [ ! -e "$up/Selvane.out.dll" ] || fail "uninstall left $plugins\\Selvane.out.dll"
    maker_files_intact "$up" DMX60.dll DMX120.dll
    echo "  the plug-in alone installed and removed beside them; their files untouched"
    # The user puts the maker's DMX60.dll back over ours after a network install.
    network_dir='C:\Show\Network'
    nd=$(unix_path "$network_dir")
    msiexec_run /i "$(win_path "$msi")" INSTALLDIR="$network_dir" ADDLOCAL=ALL || fail "the network install into an empty folder returned $?"
    cmp -s "$stage/network/DMX60.dll" "$nd/DMX60.dll" || fail "ADDLOCAL=ALL did not put DMX60.dll into $network_dir"
    # The settings program beside the libraries, and its Start-menu entry.
    cmp -s "$stage/network/Selvane-Netzwerk.exe" "$nd/Selvane-Netzwerk.exe" || fail "ADDLOCAL=ALL did not put Selvane-Netzwerk.exe beside the libraries"
    shortcut=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Selvane Netzwerk.lnk' | head -1)
    [ -n "$shortcut" ] || fail "no Start-menu shortcut \"Selvane Netzwerk\""
    cp "$doubles/DMX60.dll" "$nd/"
    msiexec_run /x "$(win_path "$msi")" || fail "msiexec /x returned $?"
    maker_files_intact "$nd" DMX60.dll
    [ ! -e "$nd/DMX120.dll" ] && [ ! -e "$nd/DMX510.dll" ] || fail "uninstall left our own network libraries"
    [ ! -e "$nd/Selvane-Netzwerk.exe" ] && [ ! -e "$shortcut" ] || fail "uninstall left the settings program or its shortcut"
    echo "  a maker's DMX60.dll put over ours survives the uninstall; ours are removed"
    # The same over a network install of the earlier layout, which removes
    # whatever is at its libraries' names: the upgrade keeps the maker's.
    older=$test_dir/Selvane-2.11.msi
    build_older_package "$older"
    old_dir='C:\Show\Old'
    od=$(unix_path "$old_dir")
    msiexec_run /i "$(win_path "$older")" INSTALLDIR="$old_dir" ADDLOCAL=ALL || fail "the 2.11 network install returned $?"
    cp "$doubles/DMX60.dll" "$doubles/DMX120.dll" "$doubles/DMX510.dll" "$od/"
    msiexec_run /i "$(win_path "$msi")" || fail "upgrading to $version returned $?"
    cmp -s "$stage/Selvane.out.dll" "$od/Selvane.out.dll" || fail "$version did not replace 2.11 in $old_dir"
    maker_files_intact "$od" DMX60.dll DMX120.dll DMX510.dll
    echo "  the maker's libraries put over those of a 2.11 network install survive the upgrade" ;;
  scope)
    user_dir=$(unix_path "$local_appdata\\Programs\\Selvane")
    machine_dir=$(unix_path "$program_files\\Selvane")
    msiexec_run /i "$(win_path "$msi")" || fail "the per-user install returned $?"
    msiexec_logged machine-refused /i "$(win_path "$msi")" ALLUSERS=1 && fail "installed per machine beside the per-user install"
    [ ! -e "$machine_dir" ] || fail "the refused per-machine install left $machine_dir"
    [ -f "$user_dir/Selvane.out.dll" ] || fail "the refused per-machine install touched the per-user one"
    log_says machine-refused "Selvane ist bereits nur f" "$(win_path "$user_dir")"
    msiexec_run /x "$(win_path "$msi")" || fail "the per-user uninstall returned $?"
    [ ! -e "$user_dir" ] || fail "the per-user uninstall left $user_dir"
    echo "  per user, then per machine: refused with the message; the per-user uninstall leaves nothing"
    # An older version per machine (the same one would only be repaired), then this one per user.
    older=$test_dir/Selvane-2.11.msi
    build_older_package "$older"
    msiexec_run /i "$(win_path "$older")" ALLUSERS=1 || fail "the per-machine install of 2.11 returned $?"
    msiexec_logged user-refused /i "$(win_path "$msi")" && fail "installed per user over the per-machine install"
    [ ! -e "$user_dir" ] || fail "the refused per-user install left $user_dir"
    [ -f "$machine_dir/Selvane.out.dll" ] || fail "the refused per-user install touched the per-machine one"
    log_says user-refused "Selvane ist bereits f" "$(win_path "$machine_dir")"
    msiexec_run /x "$(win_path "$older")" || fail "the per-machine uninstall returned $?"
    [ ! -e "$machine_dir" ] || fail "the per-machine uninstall left $machine_dir"
    echo "  per machine (2.11), then per user: refused with the message; the per-machine uninstall leaves nothing" ;;
  *) fail "unknown mode $mode" ;;
esac
exit 0
