#!/usr/bin/perl
# Makes a package that wixl wrote reproducible: wixl stamps the summary
# information with the time of the build (created, last saved) and a random
# revision number (the package code). Both are rewritten in place: the times
# to SOURCE_DATE_EPOCH, the revision number to the given package code.
# Usage: msi-fixed-times.pl <package.msi> <epoch seconds> <package code>
use strict;
use warnings;

my ($file, $epoch, $code) = @ARGV;
die "usage: msi-fixed-times.pl <package.msi> <epoch> <package code>\n" unless defined $code;
die "package code must be {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\n" unless $code =~ /^\{[0-9A-F-]{36}\}$/;
open(my $in, "<:raw", $file) or die "$file: $!\n";
my $data = do { local $/; <$in> };
close $in;

# Windows FILETIME: 100 ns since 1601-01-01.
my $to_filetime = sub { ($_[0] + 11644473600) * 10_000_000 };
my $build_time = $to_filetime->((stat $file)[9]);
my $fixed = pack("Q<", $to_filetime->($epoch));

# VT_LPSTR (0x1e) of 39 bytes: the revision number GUID and its NUL.
my $revisions = ($data =~ s/(\x1e\x00\x00\x00\x27\x00\x00\x00)\{[0-9A-F-]{36}\}\x00/$1$code\x00/g);
die "msi-fixed-times.pl: expected one revision number, found $revisions\n" unless $revisions == 1;

# VT_FILETIME (0x40) values within a day of the file's own time: created, last saved.
my $times = 0;
$data =~ s{\x40\x00\x00\x00(.{8})}{
  my $t = unpack("Q<", $1);
  if (abs($t - $build_time) < 86400 * 10_000_000) { $times++; "\x40\x00\x00\x00$fixed" } else { "\x40\x00\x00\x00$1" }
}gse;
die "msi-fixed-times.pl: expected two build times, found $times\n" unless $times == 2;

open(my $out, ">:raw", $file) or die "$file: $!\n";
print $out $data;
close $out;
