#!/bin/bash
# Makes still_2560x2048.jpg, the motion-JPEG still of the largest snapshot
# size: colour bars, gradients and a checker, 4:2:0, restart markers.
# Needs cjpeg (Debian: libjpeg-turbo-progs) and perl.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
perl -e '
  my ($w, $h, $f) = @ARGV;
  open(my $o, ">:raw", $f) or die;
  print $o "P6\n$w $h\n255\n";
  for my $y (0 .. $h - 1) {
    my $row = "";
    for my $x (0 .. $w - 1) {
      my ($r, $g, $b);
      if ($y < $h / 2) {
        my $bar = int(8 * $x / $w);
        ($r, $g, $b) = map { $_ ? 255 : 0 } ($bar & 4, $bar & 2, $bar & 1);
        if ($y >= $h / 4) { ($r, $g, $b) = (255 * $x / $w, 255 * $y / $h, 255 - 255 * $x / $w); }
      } else {
        my $c = (int($x / 24) + int($y / 24)) % 2 ? 220 : 30;
        ($r, $g, $b) = ($c, 255 * $y / $h, $x % 256);
      }
      $row .= pack("CCC", map { int($_) } ($r, $g, $b));
    }
    print $o $row;
  }' 2560 2048 "$tmp/scene.ppm"
cjpeg -quality 85 -sample 2x2 -restart 8B -outfile still_2560x2048.jpg "$tmp/scene.ppm"
