#!/usr/bin/env bash
# widl for reproducible builds: runs i686-w64-mingw32-widl, then replaces the
# creation time that widl stamps into the type library (a "Created by WIDL
# version … at <ctime>" text and the same time as a 32-bit number beside it)
# with SOURCE_DATE_EPOCH. widl 7.0 ignores SOURCE_DATE_EPOCH itself.
# Usage: as widl; SOURCE_DATE_EPOCH must be set.
set -euo pipefail
: "${SOURCE_DATE_EPOCH:?widl-fixed-date.sh needs SOURCE_DATE_EPOCH}"
"${SELVANE_REAL_WIDL:-i686-w64-mingw32-widl}" "$@"

tlb=
while [ $# -gt 0 ]; do
  case "$1" in
    -T) tlb=$2; shift 2 ;;
    *) shift ;;
  esac
done
[ -n "$tlb" ] || exit 0

perl -e '
  use strict;
  my ($file, $epoch) = @ARGV;
  open(my $in, "<:raw", $file) or die "$file: $!";
  local $/; my $data = <$in>; close $in;
  my @t = gmtime($epoch);
  my @day = qw(Sun Mon Tue Wed Thu Fri Sat);
  my @mon = qw(Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec);
  my $ctime = sprintf("%s %s %2d %02d:%02d:%02d %d", $day[$t[6]], $mon[$t[4]], $t[3], $t[2], $t[1], $t[0], $t[5] + 1900);
  # The text, its padding to four bytes (0x57), then a VT_UI4 (0x13) with the time.
  my $n = ($data =~ s/(Created by WIDL version [0-9.]+ at )[A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4}(\n\x57*\x13\x00)..../$1 . $ctime . $2 . pack("V", $epoch)/se);
  $n == 1 or die "widl-fixed-date.sh: no creation time found in $file (widl changed its format?)\n";
  open(my $out, ">:raw", $file) or die "$file: $!";
  print $out $data; close $out;
' "$tlb" "$SOURCE_DATE_EPOCH"
